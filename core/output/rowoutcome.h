#pragma once

namespace Sveltra {

// How a row of a run ended. The row's status, note and the summary are made from it.
enum class RowOutcome {
    Converted, // encoded, tagged, checked whole and named
    Copied,    // the source's MP3 frames kept as they were, tagged, checked and named
    Kept,      // an earlier output of the unchanged source kept as it is
    Damaged,   // converted, but the source decoded shorter than it says: what could be read
    Failed,    // nothing of this run at the target; the reason says why
};

} // namespace Sveltra
