# Shared by scripts/run, scripts/test and scripts/bench: packages and the build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  g++ cmake ninja-build ccache qt6-base-dev qt6-image-formats-plugins libqt6svg6
  shared-mime-info adwaita-icon-theme fonts-dejavu-core
  xvfb xauth xdotool imagemagick x11-apps python3-pyftpdlib unrtf curl lftp
)
# openssl makes the certificate of the HTTP download manager's https tests.
PACKAGES+=(openssl)
# The FTP over TLS tests: pyftpdlib's TLS handler needs pyOpenSSL; Qt's TLS goes through libssl3.
PACKAGES+=(python3-openssl libssl3)
# The install test validates the desktop entry and the AppStream metainfo.
PACKAGES+=(desktop-file-utils appstream)
# scripts/fuzz: clang, with libFuzzer and the sanitizer runtimes (not pulled in without recommends).
PACKAGES+=(clang libclang-rt-14-dev)
# The transfer benchmarks' server: a native one, so that they measure the client, not the server's noise.
PACKAGES+=(vsftpd)
# The transfer queue is kept in SQLite through Qt SQL: its driver plugin.
PACKAGES+=(libqt6sql6-sqlite)
# SFTP: the client's SSH library; OpenSSH's sshd and sftp client for the tests and the benchmark,
# paramiko for the scripted SFTP server of the tests.
PACKAGES+=(libssh-dev openssh-server python3-paramiko)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages that are missing; quick when everything is there.
ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # The benchmarks start vsftpd themselves, on 127.0.0.1 only: the system-wide service the package
  # starts and enables (port 21, every address) is not wanted where this installed it.
  if [[ " ${missing[*]} " == *" vsftpd "* ]] && command -v systemctl >/dev/null; then
    as_root systemctl disable --now vsftpd >/dev/null 2>&1 || true
  fi
  # The same for OpenSSH's server: the SFTP tests and benchmark start sshd with a configuration of their own.
  if [[ " ${missing[*]} " == *" openssh-server "* ]] && command -v systemctl >/dev/null; then
    as_root systemctl disable --now ssh >/dev/null 2>&1 || true
  fi
}

# configure BUILD_DIR [cmake options...]
configure() {
  local dir="$1"; shift
  export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@" >/dev/null
}

# build BUILD_DIR [targets...]: everything when no target is named.
build() {
  local dir="$1"; shift
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "${VESTRIGAL_JOBS:-2}" "${targets[@]}"
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  configure "$@"
  build "$1"
}
