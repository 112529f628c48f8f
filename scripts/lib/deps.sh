# Installs the Debian packages the build, the tests and the demo need; quiet and idempotent.
# Sourced by scripts/test and scripts/demo.

MURMURO_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 xvfb x11-apps x11-utils imagemagick xdotool espeak-ng sox zip unzip python3 nsis
)
# Only the tests need these: 32-bit programs under Wine, and signing.
MURMURO_TEST_PACKAGES=(wine32:i386 osslsigncode openssl)

# murmuro_install_deps [--tests]
murmuro_install_deps() {
  local wanted=("${MURMURO_PACKAGES[@]}") missing=() pkg
  [ "${1:-}" = --tests ] && wanted+=("${MURMURO_TEST_PACKAGES[@]}")
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # 32-bit programs run under Wine from Debian's i386 side, a second architecture.
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
