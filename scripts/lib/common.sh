# Shared by the scripts: where the tree is, and installing Debian packages only when missing.
set -euo pipefail

TESSELBOX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Everything the scripts start reads file names as UTF-8: Wine cannot map a name outside the system
# code page without it. Where the environment names no UTF-8 locale (a minimal root, cron, a CI
# runner without a login shell), C.UTF-8, which every Debian 12 and 13 has.
if [ "$(LC_ALL="${LC_ALL:-}" locale charmap 2>/dev/null)" != UTF-8 ]; then
  export LC_ALL=C.UTF-8
fi
JOBS=$(nproc 2>/dev/null || echo 2)

say() { printf '==> %s\n' "$*" >&2; }

# ensure_packages PKG...: apt-get installs those not yet installed (as root, or through sudo).
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
  fi
  say "installing ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the core, the Qt window and the command-line tool needs.
BUILD_PACKAGES=(build-essential cmake pkg-config libgtest-dev zlib1g-dev libisal-dev qt6-base-dev libgl-dev
                qt6-image-formats-plugins qt6-translations-l10n fonts-wqy-microhei)

# Cross-building the Windows program, and running it under Wine on a virtual X display. Wine's X11
# libraries are only recommended by the wine package, so they are named here.
WINDOWS_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 googletest libz-mingw-w64-dev)
WINDOWS_TEST_PACKAGES=(wine wine64 fonts-wine xvfb xauth xdotool locales fonts-wqy-microhei imagemagick unzip
                       libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxext6
                       libfreetype6 libfontconfig1)
# scripts/fuzz-smoke: the release's clang (14 on Debian 12, 19 on Debian 13), then the libFuzzer
# and sanitizer runtimes of its version, whose package name carries it.
FUZZ_PACKAGES=(clang)
fuzz_runtime_package() { echo "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"; }
# scripts/lint: the release's clang-tidy (14 on Debian 12, 19 on Debian 13) and cppcheck.
LINT_PACKAGES=(clang-tidy cppcheck)
