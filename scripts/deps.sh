# Sourced by scripts/run and scripts/test: installs the Debian packages that
# are missing, as root or through sudo.
snarlbox_install() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install ${missing[*]}" >&2; return 1; }
    sudo=sudo
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

SNARLBOX_BUILD_DEPS=(build-essential cmake pkg-config git
  librtaudio-dev librtmidi-dev libjack-jackd2-dev libasound2-dev libgtk-3-dev libx11-dev libpng-dev zlib1g-dev lv2-dev
  liblilv-dev libserd-dev libsord-dev libsndfile1-dev liblo-dev fonts-dejavu-core)
SNARLBOX_TEST_DEPS=(libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  jackd2 xvfb xauth xdotool x11-xkb-utils imagemagick clang libclang-rt-14-dev
  lilv-utils sordi jalv libqt5x11extras5 xsettingsd)
