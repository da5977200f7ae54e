# Shared by the scripts: installs missing Debian packages (idempotent) and
# configures and builds a tree. Source it; do not run it.
set -euo pipefail

TR5906_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TR5906_JOBS="${TR5906_JOBS:-$(nproc)}"

# The packages every build needs; scripts add their own.
TR5906_BUILD_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev ccache
  qt6-base-dev qt6-serialport-dev libyaml-cpp-dev libgl-dev libqt6sql6-sqlite libqt6sql6-psql
  qt6-translations-l10n)

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build <build dir> [cmake options...]
configure_and_build() {
  local dir="$1"
  shift
  cmake -S "$TR5906_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$TR5906_JOBS"
}
