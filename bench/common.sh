# Shared by the benchmark scripts (sourced, not run). Sets FASTENCC to the encoder of the build
# folder given with -b, else of build/, unless FASTENCC is set already; checks that the tools a
# script names are installed. Both end the calling script with a reason when something is missing.
#   find_fastencc NAME BUILD_DIR
#   need_tools NAME TOOL...

find_fastencc() {
  local name="$1" build_dir="$2" here candidate
  here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  if [ -z "${FASTENCC:-}" ]; then
    for candidate in "$build_dir" "$here/build"; do
      if [ -n "$candidate" ] && [ -x "$candidate/bin/fastencc" ]; then FASTENCC="$candidate/bin/fastencc"; break; fi
    done
  fi
  [ -x "${FASTENCC:-}" ] || { echo "$name: fastencc not found; build it or set FASTENCC" >&2; exit 1; }
  # The scripts work in a folder of their own: a relative path would no longer lead here.
  FASTENCC="$(realpath "$FASTENCC")"
}

need_tools() {
  local name="$1" tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing (tools/install-deps.sh --test)" >&2; exit 1; }
  done
}
