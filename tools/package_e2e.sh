#!/usr/bin/env bash
# End-to-end check of the Debian package on a fresh Debian 12 system (not
# part of CI: it downloads a base system). Makes a minimal bookworm root with
# debootstrap, installs the package there with apt (which must pull every
# dependency), runs what it installed, removes it again and checks that none
# of its files is left.
#   sudo tools/package_e2e.sh build/vesperon_<version>_<arch>.deb [ROOT]
set -euo pipefail
deb="$(readlink -f "$1")"
root="${2:-/var/tmp/vesperon-e2e-root}"
mirror="${VES_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot)"; exit 2; }
command -v debootstrap >/dev/null || { echo "install debootstrap first"; exit 2; }

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
cleanup() {
  for m in proc sys dev/pts dev; do umount "$root/$m" 2>/dev/null || true; done
}
trap cleanup EXIT

if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "==> debootstrap bookworm into $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
mount --bind /dev "$root/dev"; mount --bind /dev/pts "$root/dev/pts"
mount -t proc proc "$root/proc"; mount -t sysfs sys "$root/sys"
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "==> apt install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q --no-install-recommends man-db "/tmp/$(basename "$deb")" >"$root/tmp/install.log" 2>&1 ||
  { tail -30 "$root/tmp/install.log"; exit 1; }
grep -E "^(Setting up|newly installed)" "$root/tmp/install.log" | tail -3

echo "==> what it installed"
in_root vesperon-cli --version
in_root vesperon --version
in_root sh -c 'MANWIDTH=80 man vesperon-cli 2>/dev/null | head -5'
in_root vesperon-cli demo /tmp/demo.wav >/dev/null
in_root vesperon-cli calls /tmp/demo.wav | head -3
in_root python3 -c 'import vesperon, sys; r = vesperon.open("/tmp/demo.wav"); print("python:", r.rate, r.frames)'

echo "==> apt remove vesperon"
files="$(dpkg -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$')"
in_root apt-get remove -y -q vesperon >/dev/null
left=""
for f in $files; do
  [ -e "$root$f" ] && left+="$f"$'\n'
done
if [ -n "$left" ]; then
  echo "left behind:"; echo "$left"; exit 1
fi
echo "==> nothing of the package is left; e2e ok"
