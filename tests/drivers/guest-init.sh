#!/bin/busybox sh
# /init of the throwaway machine that scripts/test-drivers boots: loads the USB
# serial modules, waits for both lines, runs the driver suites and powers off.
# Lines starting with "@@" are for the host's script: the steps reached, each
# suite's exit code, the figures, and what the host should do to the machine.
/bin/busybox mkdir -p /bin /proc /sys /dev /tmp
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
echo "@@ init $(cut -d' ' -f1 /proc/uptime)"

fail() {
    echo "@@ failed $1: $2"
    poweroff -f
}

# Waits up to ten seconds for a device node.
wait_for() {
    i=0
    while [ ! -e "$1" ]; do
        i=$((i + 1))
        [ $i -gt 100 ] && return 1
        sleep 0.1
    done
}

for module in $(cat /lib/modules/order); do
    insmod "/lib/modules/$module.ko" || fail modules "insmod $module"
done
wait_for /dev/ttyS1 || fail devices "/dev/ttyS1 never appeared"
wait_for /dev/ttyUSB0 || fail devices "/dev/ttyUSB0 never appeared"
echo "@@ devices $(cut -d' ' -f1 /proc/uptime)"

suite() {
    name=$1
    shift
    start=$(cut -d' ' -f1 /proc/uptime)
    timeout 60 /bin/orbel-driver-tests --gtest_color=no "$@"
    code=$?
    echo "@@ suite $name exit $code from $start to $(cut -d' ' -f1 /proc/uptime)"
}

# The exchange worker and orbel-cli run on both lines.
export ORBEL_GUEST_UART=/dev/ttyS1 ORBEL_GUEST_USB=/dev/ttyUSB0
export ORBEL_GUEST_LINE=/dev/ttyS1
suite uart --gtest_filter='Uart*:Line.*:Worker.*:Cli.*'
export ORBEL_GUEST_LINE=/dev/ttyUSB0
suite usb --gtest_filter='UsbAdapter.*:Worker.*:Cli.*'
echo "@@ done $(cut -d' ' -f1 /proc/uptime)"
poweroff -f
