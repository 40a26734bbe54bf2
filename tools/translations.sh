#!/usr/bin/env bash
# Keeps the English translation current. The interface's texts are the Chinese in the code
# (tr(), QCoreApplication::translate()); translations/sveltra_en.ts holds their English.
#
#   bash tools/translations.sh          # take new and changed texts into the .ts, drop gone ones
#   bash tools/translations.sh --check  # fail when the .ts is not current or has an entry
#                                       # without a finished English translation (CI, ctest)
#
# After adding a text: run it, then write the English of every entry it marks
# type="unfinished" (Qt Linguist, or by hand: fill <translation> and drop the type attribute).
# LUPDATE names the lupdate program (default: Qt 6's, from Debian's qt6-l10n-tools).
set -euo pipefail
cd "$(dirname "$0")/.."

TS=translations/sveltra_en.ts
LUPDATE="${LUPDATE:-}"
if [ -z "$LUPDATE" ]; then
  if [ -x /usr/lib/qt6/bin/lupdate ]; then LUPDATE=/usr/lib/qt6/bin/lupdate; else LUPDATE=lupdate; fi
fi
# No line numbers in the .ts: moving code does not change it.
OPTIONS=(-silent -I . -locations none -source-language zh_CN -target-language en -extensions cpp,h core gui)

case "${1:-}" in
  "")
    "$LUPDATE" "${OPTIONS[@]}" -no-obsolete -ts "$TS"
    unfinished=$(grep -c 'type="unfinished"' "$TS" || true)
    echo "translations: $TS is current; $unfinished entries need English"
    ;;
  --check)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp "$TS" "$work/sveltra_en.ts"
    "$LUPDATE" "${OPTIONS[@]}" -ts "$work/sveltra_en.ts"
    status=0
    if ! diff -u "$TS" "$work/sveltra_en.ts"; then
      echo "translations: $TS is not current: run bash tools/translations.sh and translate the new texts" >&2
      status=1
    fi
    if grep -n -E 'type="(unfinished|vanished|obsolete)"' "$work/sveltra_en.ts" >&2; then
      echo "translations: the entries above have no finished English translation" >&2
      status=1
    fi
    exit $status
    ;;
  *) echo "translations: unknown option $1 (--check)" >&2; exit 2 ;;
esac
