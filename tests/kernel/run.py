#!/usr/bin/env python3
"""IO.DLL on a real Linux kernel: Debian's own kernel and its parport_pc,
ppdev, lp, hidraw and uhid drivers, booted under QEMU on emulated PC
parallel ports, with relay boards played through uhid and a pty. Each
scenario is one boot; init (beside this script) runs its steps and prints what
it saw, and the rows below say what must be seen.

    run.py IO.DLL IOPROBE RELAYPLAY VENTROLIK WORK-DIR WINDOWS-BUILD,... [SCENARIO...]

The Windows builds' folders hold Ventrolik.exe, our IO.DLL and the tests'
clickpoints.exe; the guest runs each build under the host's Wine, a boot
for each.
"""

import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

SKIP = 77
HERE = Path(__file__).resolve().parent
MODULES = ["parport", "parport_pc", "ppdev", "lp", "hid", "uhid", "hid-generic", "i2c-stub", "i2c-dev", "lm75",
           # the host's root over virtio-9p, in the order they load
           "virtio_ring", "virtio", "virtio_pci_legacy_dev", "virtio_pci_modern_dev", "virtio_pci", "netfs", "fscache",
           "9pnet", "9pnet_virtio", "9p", "overlay"]


def ports(*bases):
    """QEMU arguments for ISA parallel ports at these addresses, in order."""
    args = ["-parallel", "none"]
    for index, base in enumerate(bases):
        args += ["-chardev", f"null,id=lpt{index}",
                 "-device", f"isa-parallel,chardev=lpt{index},iobase={base:#x},irq={7 - 2 * index},index={index}"]
    return args


# name, QEMU's ports, lines that must be seen in this order, number of IO.DLL lines
# (QEMU's default PC has one port, at 0x378)
def windows(build):
    """What one Windows build must do under Wine, whose own HID stack reaches
    three boards played through uhid (wine.sh heads each line by the build)."""
    return [
        # three boards, none chosen
        rf"^{build} \| IO\.DLL: no parallel port at 0x378, and more than one relay board: .*'KLMNO'.*'FGHIJ'.*'ABCDE'",
        rf"^{build} \| IO\.DLL ne postoji u \\windows\\system folderu$", rf"^{build} three boards: exit 1; boards: $",
        # one chosen by its ID, the others untouched
        rf"^{build} \| IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'FGHIJ'",
        rf"^{build} chosen: exit 0; boards: FGHIJ relays 10,FGHIJ relays 10$",
        # a board that refuses its report: one message
        rf"^{build} \| IO\.DLL: cannot write 0x1 to port 0x378: cannot switch relay 1 of ", r"!cannot",
        rf"^{build} refused: exit 0; boards: KLMNO refused relay 1$",
        # the only board, once the others are unplugged
        rf"^{build} one board: exit 0; boards: ABCDE relays 10,ABCDE relays 10$",
        rf"^{build} one board: exit 0; boards: ABCDE relays 00,ABCDE relays 00$",
        # the program in its window: no warning; the board unplugged after a write
        r"!window: a warning", rf"^{build} window Ukljuci: boards: ABCDE relays 10,ABCDE relays 10$",
        rf"^{build} window Iskljuci: boards: ABCDE relays 00,ABCDE relays 00$",
        rf"^{build} window: up after the board went$", rf"^{build} \| IO\.DLL: cannot write 0x1 to port 0x378",
        rf"^{build} window closed: exit 0 ",
    ]


SCENARIOS = [
    # first, as the longest: a boot for each Windows build, side by side
    ("windows-i686", ports(), windows("i686"), 0),
    ("windows-x86_64", ports(), windows("x86_64"), 0),
    ("one-port", [], [r"check 1 ", r"devices/active: none", r"parport0 data 0x01",
                      r"devices/active: none", r"parport0 data 0x00"], 0),
    ("two-ports", ports(0x278, 0x378), [r"check 1 ", r"parport0 data 0x5a", r"parport1 data 0x01"], 0),
    ("user-outside-lp", [], [r"crw-rw---- .* 0 +7 ", r"IO\.DLL: cannot open '/dev/parport0': Permission denied .*'lp' group",
                             r"check 0 "], 1),
    ("user-in-lp", [], [r"check 1 ", r"parport0 data 0x01"], 0),
    ("held-by-ppdev", [], [r"IO\.DLL: .*'/dev/parport0'.*'ppdev0' holds the port", r"check 0 in \d{1,3} ms"], 1),
    ("held-by-lp", [], [r"^lp$", r"IO\.DLL: .*'/dev/parport0'.*'lp' holds the port",
                        r"check 0 in \d{1,3} ms"], 1),
    ("exclusive", [], [r"IO\.DLL: cannot claim '/dev/parport0': .*another program has exclusive use",
                       r"check 0 in \d{1,3} ms"], 1),
    ("no-ppdev", [], [r"IO\.DLL: cannot open '/dev/parport0'.*modprobe ppdev", r"check 0 "], 1),
    ("no-port-user", ports(), [r"IO\.DLL: no parallel port at 0x378", r"check 0 ",
                               r"IO\.DLL: cannot write 0x1 to port 0x378", r"IO\.DLL: cannot write 0x0 to port 0x378"], 3),
    # as root: direct writes only where the firmware lists a port (QEMU's
    # ACPI tables list its port as PNP0400), here with no parport driver
    ("no-port-root", ports(), [r"IO\.DLL: no parallel port at 0x378: .*the system lists no parallel port",
                               r"check 0 ", r"IO\.DLL: cannot write 0x1", r"IO\.DLL: cannot write 0x0"], 3),
    ("firmware-port-root", [], [r"IO\.DLL: writing to port 0x378 directly", r"check 1 ", r"inb 0x378 0x01",
                                r"inb 0x378 0x00"], 1),
    ("control-kept", [], [r"inb 0x37a 0x.5"], 0),
    # LPT1 where a PCI card puts it; run as a user in group lp
    ("card", ports(0xd010), [r"IO\.DLL: LPT1 \(0x378\) is /dev/parport0 at 0xd010", r"check 1 ",
                             r"parport0 data 0x01"], 1),
    ("cards", ports(0xd010, 0xe000), [r"IO\.DLL: no parallel port at 0x378, and more than one elsewhere: "
                                      r"/dev/parport0 at 0xd010, /dev/parport1 at 0xe000 \(choose one", r"check 0 ",
                                      r"parport0 data 0x5a", r"parport1 data 0x5a"], 2),
    ("cards-variable", ports(0xd010, 0xe000), [r"IO\.DLL: LPT1 \(0x378\) is /dev/parport1 at 0xe000", r"check 1 ",
                                               r"parport0 data 0x5a", r"parport1 data 0x01"], 1),
    ("cards-config", ports(0xd010, 0xe000), [r"IO\.DLL: LPT1 \(0x378\) is /dev/parport0 at 0xd010", r"check 1 ",
                                             r"parport0 data 0x01", r"parport1 data 0x5a"], 1),
    ("cards-missing", ports(0xd010, 0xe000), [r"IO\.DLL: LPT1 is set to '/dev/parport7' in VENTROLIK_LPT1, but "
                                              r"there is no such parallel port", r"check 0 ", r"parport0 data 0x5a",
                                              r"parport1 data 0x5a"], 2),
    # LPT1 on HID relay boards played through uhid, with no parallel port; a
    # line "!PATTERN" says what must not be seen before the next match
    ("relay-boards", ports(), [
        r"IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'ABCDE' on /dev/hidraw0: data lines D0-D1 are relays 1-2",
        r"check 1 ", r"ABCDE relays 10", r"ABCDE relays 10", r"ABCDE relays 00", r"ABCDE relays 00",
        # a user outside lp
        r"IO\.DLL: cannot open '/dev/hidraw0': Permission denied \(add your user to the 'lp' group", r"check 0 ",
        # two boards, none chosen
        r"IO\.DLL: no parallel port at 0x378, and more than one relay board: relay board USBRelay2 'ABCDE' on "
        r"/dev/hidraw0, relay board USBRelay2 'FGHIJ' on /dev/hidraw1 \(choose one", r"check 0 ",
        # one chosen by its ID
        r"IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'FGHIJ'", r"!ABCDE", r"FGHIJ relays 10", r"!ABCDE",
        r"FGHIJ relays 10", r"!ABCDE", r"done",
        # a board that refuses its report
        r"KLMNO refused relay 1", r"IO\.DLL: cannot write 0x1 to port 0x378: cannot switch relay 1 of '/dev/hidraw2'",
    ], 7),
    ("relay-board-and-port", [], [r"check 1 ", r"!relays", r"parport0 data 0x01"], 0),
    ("serial-module", ports(), [
        r"IO\.DLL: LPT1 \(0x378\) is the serial relay module on /dev/ttyUSB0: data line D0 is relay 1", r"check 1 ",
        r"serial a0 01 01 a2", r"serial a0 01 00 a1",
        r"IO\.DLL: LPT1 \(0x378\) is the serial relay module on /dev/ttyUSB0: data lines D0-D1 are relays 1-2",
        r"serial a0 01 01 a2", r"serial a0 02 00 a2", r"serial a0 01 00 a1", r"serial a0 02 00 a2",
        r"IO\.DLL: cannot open '/dev/ttyUSB9': No such file or directory \(is the relay module plugged in\?\)",
        r"check 0 ",
    ], 4),
    # The thermostat on the kernel's lm75 driver, on an i2c-stub chip, read
    # through libsensors, switching a relay board
    ("thermostat", ports(), [
        r"thermostat: lm75-i2c-0-48/temp1; fan on at 50\.0 °C, off at 40\.0 °C; a reading every 1 s",
        r"^at 30 °C: ABCDE relays 00$",
        r"^fan on: lm75-i2c-0-48/temp1 at 55\.0 °C \(on at 50\.0\)$", r"^at 55 °C: ABCDE relays 10$",
        r"!^fan", r"^at 45 °C: ABCDE relays 10$",
        r"^fan off: lm75-i2c-0-48/temp1 at 35\.0 °C \(off at 40\.0\)$", r"^at 35 °C: ABCDE relays 00$",
        r"^fan on: lm75-i2c-0-48/temp1 at 55\.0 °C", r"^at 55 °C: ABCDE relays 10$",
        r"^lm75-i2c-0-48/temp1 fails: .*; counted as hot until it reads again$", r"!fails",
        r"^gone: ABCDE relays 10$", r"!fails", r"^thermostat stopped by SIGTERM: fan on$", r"^exit 0: ABCDE relays 10$",
        r"^ventrolik: 'lm75-i2c-0-48/temp9' matches no sensor$", r"^The temperature sensors here are:$",
        r"^  lm75-i2c-0-48/temp1$", r"^exit 2$",
    ], 1),
]


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def kernel(work):
    """The kernel that linux-image-amd64 depends on now, and its parport
    modules, unpacked once into the work folder."""
    depends = run("apt-cache", "depends", "linux-image-amd64")
    package = re.search(r"Depends: (linux-image-\S+)", depends).group(1)
    folder = work / package
    if not (folder / "vmlinuz").exists() or not all((folder / "modules" / f"{m}.ko").exists() for m in MODULES):
        print(f"fetching {package}")
        download = work / "download"
        shutil.rmtree(download, ignore_errors=True)
        download.mkdir(parents=True)
        run("apt-get", "download", package, cwd=download)
        run("dpkg-deb", "-x", next(download.glob("*.deb")), download / "root")
        (folder / "modules").mkdir(parents=True, exist_ok=True)
        for module in MODULES:
            shutil.copy(next((download / "root/lib/modules").rglob(f"{module}.ko")), folder / "modules")
        shutil.copy(next((download / "root/boot").glob("vmlinuz-*")), folder / "vmlinuz")
        shutil.rmtree(download)
    return folder


def initramfs(work, kernel_folder, iodll, ioprobe, relayplay):
    """busybox, the modules, IO.DLL, the probe and their libraries."""
    root = work / "root"
    shutil.rmtree(root, ignore_errors=True)
    for folder in ["bin", "etc", "opt", "modules", "proc", "sys", "dev", "tmp"]:
        (root / folder).mkdir(parents=True)
    shutil.copy(shutil.which("busybox"), root / "bin/busybox")
    shutil.copy(HERE / "init", root / "init")
    (root / "init").chmod(0o755)
    shutil.copy(iodll, root / "opt/IO.DLL")
    shutil.copy(ioprobe, root / "opt/ioprobe")
    shutil.copy(relayplay, root / "opt/relayplay")
    for module in (kernel_folder / "modules").iterdir():
        shutil.copy(module, root / "modules")
    for binary in [iodll, ioprobe, relayplay]:
        for library in re.findall(r"(/\S+) \(0x", run("ldd", binary)):
            target = root / library.lstrip("/")
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(library, target)
    files = run("find", ".", cwd=root)
    archive = work / "initramfs.cpio"
    with open(archive, "wb") as out:
        subprocess.run(["busybox", "cpio", "-o", "-H", "newc"], input=files.encode(), cwd=root, stdout=out,
                       stderr=subprocess.DEVNULL, check=True)
    return archive


def qemu(kernel_folder, archive, scenario, extra, programs, work):
    """One boot; programs are the host's paths that the guest's steps need.
    The host's root is there for the programs that need the host's own
    libraries, read-only, and the work folder writable: the guest runs them
    in a chroot."""
    command = ["qemu-system-x86_64", "-accel", "tcg", "-nographic", "-no-reboot", "-m", "1024", "-net", "none",
               "-kernel", str(kernel_folder / "vmlinuz"), "-initrd", str(archive),
               "-append", f"console=ttyS0 quiet panic=-1 ventrolik.scenario={scenario} {programs} ventrolik.work={work}",
               "-virtfs", "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap",
               "-virtfs", f"local,path={work},mount_tag=work,security_model=none,multidevs=remap", *extra]
    try:
        result = subprocess.run(command, capture_output=True, encoding="utf-8", errors="replace", timeout=400,
                                stdin=subprocess.DEVNULL)
        returncode, out, err = result.returncode, result.stdout, result.stderr
    except subprocess.TimeoutExpired as timeout:  # what it printed says how far it came
        returncode = "timed out"
        out, err = (text.decode(errors="replace") if text else "" for text in (timeout.stdout, timeout.stderr))
    return returncode, [line.rstrip("\r") for line in out.splitlines()] + err.splitlines()


def judge(name, expected, reports, returncode, lines):
    """Why the boot's output is wrong, or None when it is right."""
    # The firmware's escape sequences may stand before the first line.
    marks = [i for i, line in enumerate(lines) if re.search(f"scenario {name} (begins|ends)$", line)]
    if len(marks) != 2:
        return f"the scenario did not run to its end (QEMU exit status {returncode})"
    lines = lines[marks[0] + 1:marks[1]]
    position, unwanted = 0, []
    for pattern in expected:
        if pattern.startswith("!"):
            unwanted.append(pattern[1:])
            continue
        start = position
        while position < len(lines) and not re.search(pattern, lines[position]):
            position += 1
        if position == len(lines):
            return f"no line matches /{pattern}/ (in this order)"
        if any(re.search(bad, line) for bad in unwanted for line in lines[start:position]):
            return f"a line matches one of {unwanted} before /{pattern}/"
        unwanted = []
        position += 1
    if any(line.startswith("probe error") for line in lines):
        return "the probe failed"
    seen = sum(line.startswith("IO.DLL:") for line in lines)
    if seen != reports:
        return f"IO.DLL printed {seen} lines, not {reports}"
    if returncode != 0:
        return f"QEMU exited with status {returncode}"
    return None


def main():
    iodll, ioprobe, relayplay, ventrolik, work = (Path(argument) for argument in sys.argv[1:6])
    builds = [Path(folder).resolve() for folder in sys.argv[6].split(",")]
    wanted = sys.argv[7:]
    if not shutil.which("qemu-system-x86_64"):
        skip("qemu-system-x86_64 is not installed")
    try:
        subprocess.run(["qemu-system-x86_64", "-accel", "tcg", "-machine", "none", "-nodefaults", "-display", "none",
                        "-qmp", "stdio"], input='{"execute": "qmp_capabilities"} {"execute": "quit"}',
                       capture_output=True, text=True, timeout=30, check=True)
    except (subprocess.SubprocessError, OSError) as error:
        skip(f"QEMU cannot start here: {getattr(error, 'stderr', '') or error}")
    if not shutil.which("busybox"):
        print("FAIL: busybox is not installed (Debian's busybox-static)")
        return 1

    work.mkdir(parents=True, exist_ok=True)
    rows = [row for row in SCENARIOS if not wanted or row[0] in wanted]

    def build_of(name):
        return next((folder for folder in builds if name == "windows-" + folder.name.removeprefix("mingw-")), None)

    for row in [row for row in rows if row[0].startswith("windows-")]:
        if not build_of(row[0]) or not (build_of(row[0]) / "tests/clickpoints.exe").exists():
            print(f"SKIP: {row[0]}: not built (tools/build mingw-i686 mingw-x86_64)")
            rows.remove(row)
    kernel_folder = kernel(work)
    archive = initramfs(work, kernel_folder, iodll, ioprobe, relayplay)

    def boot(row):
        name, extra, expected, reports = row
        start = time.monotonic()
        programs = (f"ventrolik.program={ventrolik.resolve()} ventrolik.tests={HERE.parent} "
                    f"ventrolik.windows={build_of(name) or ''}")
        returncode, lines = qemu(kernel_folder, archive, name, extra, programs, work.resolve())
        return row, judge(name, expected, reports, returncode, lines), lines, time.monotonic() - start

    passed = failed = 0
    if any(row[0].startswith("windows-") for row in rows):
        # One Wine prefix for both Windows boots, made before them: on the
        # host where it runs 32-bit programs (quicker), else in a guest.
        if subprocess.run([HERE / "../../tools/runs-32bit"], capture_output=True).returncode == 0:
            print(run("bash", HERE / "wine.sh", "prefix", work.resolve()), end="")
        else:
            _, fault, lines, seconds = boot(("wine-prefix", [], [r"!FAIL", r"^Wine prefix (made|kept)"], 0))
            print(f"{'not ok' if fault else 'ok'} wine-prefix, in a guest: {fault or 'made'} ({seconds:.1f} s)")
            if fault:
                print("".join(f"    | {line}\n" for line in lines), end="")
                failed += 1
                rows = [row for row in rows if not row[0].startswith("windows-")]

    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for (name, *_), fault, lines, seconds in pool.map(boot, rows):
            if fault:
                failed += 1
                print(f"not ok {name}: {fault} ({seconds:.1f} s)")
                print("".join(f"    | {line}\n" for line in lines), end="")
            else:
                passed += 1
                print(f"ok {name} ({seconds:.1f} s)")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
