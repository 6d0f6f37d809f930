#!/usr/bin/env bash
# Captures the Identify Controller, Identify Namespace and SMART / Health
# blocks of QEMU's emulated NVMe controller, with nvme-cli's and smartctl's own
# decodings of them, into tests/data/nvme/QEMU_NVMe_Ctrl/. Boots Debian's
# kernel in QEMU from a busybox initramfs; needs root for apt-get only.
# Not run by ./test.sh. Usage: tests/data/nvme/capture.sh [OUTDIR]
# With QUARNEL_CLI=build/quarnel-cli it also runs that program's details and
# smart reports on the emulated drive (LinuxHost's own path), into OUTDIR.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$(realpath -m "${1:-$here/QEMU_NVMe_Ctrl}")"
cli="${QUARNEL_CLI:+$(realpath "$QUARNEL_CLI")}"

need=()
for p in qemu-system-x86:qemu-system-x86_64 nvme-cli:nvme smartmontools:smartctl \
         busybox-static:busybox cpio:cpio; do
  command -v "${p#*:}" >/dev/null || need+=("${p%%:*}")
done
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# Debian's kernel, unpacked only (never installed on this machine).
kpkg="$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -1)"
apt-get download "$kpkg" >/dev/null
mkdir k && dpkg-deb -x ./*.deb k
kver="$(ls k/lib/modules)"
kmod="k/lib/modules/$kver/kernel"

root="$work/root"
mkdir -p "$root"/{bin,sbin,dev,proc,sys,tmp,mods,lib64,lib/x86_64-linux-gnu}
cp "$(command -v busybox)" "$root/bin/busybox"
for bin in "$(command -v nvme)" "$(command -v smartctl)" $cli; do
  cp "$bin" "$root/bin/"
  ldd "$bin" | awk '/=> \//{print $3} /^\t\/lib64/{print $1}' | while read -r lib; do
    cp -L "$lib" "$root$lib"
  done
done
# Load order: dependencies first (nvme -> nvme-core -> t10-pi -> crc modules).
mods="crypto/crct10dif_common.ko lib/crc-t10dif.ko lib/crc64.ko lib/crc64-rocksoft.ko
      block/t10-pi.ko drivers/nvme/host/nvme-core.ko drivers/nvme/host/nvme.ko"
for m in $mods; do [ -f "$kmod/$m" ] && cp "$kmod/$m" "$root/mods/"; done
order=""
for m in $mods; do order="$order $(basename "$m")"; done

cat >"$root/init" <<INIT
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for m in $order; do [ -f /mods/\$m ] && insmod /mods/\$m 2>/dev/null; done
i=0; while [ ! -e /dev/nvme0n1 ] && [ \$i -lt 50 ]; do sleep 0.2; i=\$((i+1)); done
# Some traffic, so that the counters are not all zero.
dd if=/dev/urandom of=/dev/nvme0n1 bs=1M count=48 oflag=direct 2>/dev/null
dd if=/dev/nvme0n1 of=/dev/null bs=1M count=96 iflag=direct 2>/dev/null
nvme id-ctrl /dev/nvme0 -b >/tmp/id-ctrl.bin
nvme id-ns /dev/nvme0n1 -b >/tmp/id-ns.bin
nvme smart-log /dev/nvme0 -b >/tmp/smart-log.bin
nvme smart-log /dev/nvme0 >/tmp/nvme-smart-log.txt 2>&1
smartctl -i -A /dev/nvme0 >/tmp/smartctl.txt 2>&1
nvme id-ctrl /dev/nvme0 >/tmp/nvme-id-ctrl.txt 2>&1
nvme id-ns /dev/nvme0n1 >/tmp/nvme-id-ns.txt 2>&1
if [ -x /bin/quarnel-cli ]; then
  quarnel-cli --devices=/dev/nvme0n1 --debug list >/tmp/quarnel-list.txt 2>&1
  quarnel-cli --devices=/dev/nvme0n1 details 1 >/tmp/quarnel-details.txt 2>&1
  quarnel-cli --devices=/dev/nvme0n1 smart 1 >/tmp/quarnel-smart.txt 2>&1
  ls -l /sys/block/nvme0n1/device >>/tmp/quarnel-list.txt
fi
for f in \$(cd /tmp && ls); do
  echo "==BEGIN \$f=="; base64 /tmp/\$f; echo "==END \$f=="
done
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >initrd.gz

truncate -s 256M disk.img
# Software emulation: it boots in seconds, and KVM inside some virtual
# machines fails on MSRs it cannot set.
timeout 600 qemu-system-x86_64 -machine q35,accel=tcg -m 512 -nographic -no-reboot \
  -kernel "k/boot/vmlinuz-$kver" -initrd initrd.gz -append "console=ttyS0 quiet panic=-1" \
  -drive file=disk.img,if=none,id=nvm,format=raw -device nvme,serial=QUARNEL0001,drive=nvm \
  >console.log 2>&1 || true

mkdir -p "$out"
files="id-ctrl.bin id-ns.bin smart-log.bin nvme-smart-log.txt smartctl.txt nvme-id-ctrl.txt nvme-id-ns.txt"
[ -n "$cli" ] && files="$files quarnel-list.txt quarnel-details.txt quarnel-smart.txt"
for f in $files; do
  sed -n "/==BEGIN $f==/,/==END $f==/p" console.log | sed '1d;$d' | tr -d '\r' | base64 -d >"$out/$f"
  [ -s "$out/$f" ] || { echo "capture failed: $f missing (console: $work/console.log)"; trap - EXIT; exit 1; }
done
echo "QEMU $(qemu-system-x86_64 --version | head -1 | awk '{print $4}'), kernel $kver, $(nvme version | head -1), smartctl $(smartctl --version | head -1 | awk '{print $2}')" >"$out/versions.txt"
echo "captured into $out"
