#!/usr/bin/env python3
"""IO.DLL on a real Linux kernel: the kernel that this Debian's
linux-image-amd64 depends on, with its own parport_pc, ppdev, lp, hidraw,
uhid, i2c-stub and lm75 drivers, booted under QEMU on emulated PC parallel
ports, with relay boards played through uhid and a pty. Each scenario is one
file in scenarios/: a shell script that the guest's init (beside this
script) runs with its helpers, and between its steps the lines that must be
seen, in order:

    # what the scenario shows
    #: ports 0xd010 0xe000     QEMU's parallel ports (none: no port; default:
                               QEMU's own one at 0x378)
    #: reports 1               how many lines IO.DLL prints (default 0)
    #: builds i686 x86_64      a boot for each Windows build, windows-BUILD
    #: needs PATTERN           a file the steps need (from the source folder)
    #: machine raspi3b         an emulated Raspberry Pi 3 on Debian's arm64
                               kernel, with the arm64 package's program; a
                               line "observe N" from the guest is answered
                               with what GPIO N is from outside ("output
                               high"), read through QEMU's monitor
    STEP
    #= PATTERN                 a line that must come next (a regular expression)
    #! PATTERN                 a line that must not come before the next #= line

    run.py IO.DLL IOPROBE RELAYPLAY VENTROLIK WORK-DIR WINDOWS-BUILD,... [SCENARIO...]

The Windows builds' folders hold Ventrolik.exe, our IO.DLL and the tests'
clickpoints.exe; the guest runs each build under the host's Wine.
"""

import concurrent.futures
import lzma
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

SKIP = 77
HERE = Path(__file__).resolve().parent
# The modules the scenarios load, each with what it needs: USB devices are
# gadgets on dummy_hcd, played through FunctionFS; the last ones bring the
# host's root over virtio-9p.
MODULES = ["parport_pc", "ppdev", "lp", "uhid", "hid-generic", "i2c-stub", "i2c-dev", "lm75",
           "dummy_hcd", "usb_f_fs", "usbhid", "hid-cp2112",
           "virtio_pci", "9pnet_virtio", "9p", "overlay"]


@dataclass
class Scenario:
    name: str
    file: Path
    qemu: list = field(default_factory=list)
    expected: list = field(default_factory=list)
    reports: int = 0
    build: str = ""
    needs: str = ""  # a file of the build, as a pattern from the source folder
    machine: str = ""


def ports(bases):
    """QEMU arguments for ISA parallel ports at these addresses, in order."""
    args = ["-parallel", "none"]
    for index, base in enumerate(bases):
        args += ["-chardev", f"null,id=lpt{index}",
                 "-device", f"isa-parallel,chardev=lpt{index},iobase={base:#x},irq={7 - 2 * index},index={index}"]
    return args


def scenarios():
    """Every scenario file, a boot each (one per build for a Windows one)."""
    found = []
    for file in sorted((HERE / "scenarios").glob("*.sh")):
        scenario, builds = Scenario(file.stem, file), [""]
        for line in file.read_text().splitlines():
            if line.startswith("#= ") or line.startswith("#! "):
                scenario.expected.append(("!" if line[1] == "!" else "") + line[3:])
            elif line.startswith("#: "):
                key, *values = line[3:].split()
                if key == "ports":
                    scenario.qemu = ports([] if values == ["none"] else [int(v, 0) for v in values])
                elif key == "reports":
                    scenario.reports = int(values[0])
                elif key == "builds":
                    builds = values
                elif key == "needs":
                    scenario.needs = values[0]
                elif key == "machine" and values == ["raspi3b"]:
                    scenario.machine = values[0]
                else:
                    raise SystemExit(f"{file}: unknown setting '{key}'")
        for build in builds:
            name = f"{scenario.name}-{build}" if build else scenario.name
            found.append(Scenario(name, file, scenario.qemu, scenario.expected, scenario.reports, build, scenario.needs,
                                  scenario.machine))
    return found


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def module_name(path):
    """A module's name from its file, as the kernel writes it."""
    return re.sub(r"\.ko(\.xz|\.zst|\.gz)?$", "", Path(path).name).replace("-", "_")


def module_code(file):
    """A module as the kernel loads it: Debian 13 ships them xz-compressed."""
    if file.name.endswith(".xz"):
        return lzma.decompress(file.read_bytes())
    if file.name.endswith(".ko"):
        return file.read_bytes()
    skip(f"{file.name}: a compression this test can't unpack")


def kernel(work, meta="linux-image-amd64", modules=MODULES):
    """The kernel that linux-image-amd64 (or another such package) depends on
    here, and the modules the scenarios load, unpacked once into the work
    folder, each with a list (NAME.load) of what to load for it, in order:
    what it needs, then itself, leaving out what is built in; and the
    Raspberry Pi 3's device tree, where the package has it."""
    depends = run("apt-cache", "depends", meta)
    match = re.search(r"Depends: (linux-image-\S+)", depends)
    if not match:
        skip(f"no kernel package: apt-cache depends {meta} said {depends.strip()!r}")
    package = match.group(1)
    folder = work / package.replace(":", "_")
    if (folder / "ready").exists() and (folder / "ready").read_text().split() == modules + ["builtin", "version"]:
        print(f"kernel: {(folder / 'version').read_text().strip()}")
        return folder
    print(f"fetching {package}")
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "modules").mkdir(parents=True)
    with tempfile.TemporaryDirectory(dir=work) as download:
        download = Path(download)
        run("apt-get", "download", package, cwd=download)
        deb = next(download.glob("*.deb"))
        (folder / "version").write_text(f"{package} {run('dpkg-deb', '-f', deb, 'Version').strip()}\n")
        run("dpkg-deb", "-x", deb, download / "root")
        kernels = list((download / "root/boot").glob("vmlinuz-*"))
        builtins = [*(download / "root").glob("lib/modules/*/modules.builtin"),
                    *(download / "root").glob("usr/lib/modules/*/modules.builtin")]
        if len(kernels) != 1 or len(builtins) != 1:
            skip(f"{package} has {len(kernels)} kernels and {len(builtins)} module trees, not one of each")
        files = {module_name(file): file for file in builtins[0].parent.rglob("*.ko*")}
        builtin = {module_name(line) for line in builtins[0].read_text().split()}
        code = {}

        def order(name, seen):
            """What to load for the module, in order."""
            if name in builtin or name in seen:
                return []
            if name not in files:
                skip(f"{package} has no module {name}")
            seen.add(name)
            code[name] = module_code(files[name])
            needs = re.search(rb"\0depends=([^\0]*)\0", code[name])  # in the module's .modinfo
            needs = needs.group(1).decode().split(",") if needs and needs.group(1) else []
            return [step for need in needs for step in order(module_name(need), seen)] + [name]

        for wanted in modules:
            steps = order(module_name(wanted), set())
            (folder / "modules" / f"{module_name(wanted)}.load").write_text(" ".join(steps) + "\n")
        for name, data in code.items():
            (folder / "modules" / f"{name}.ko").write_bytes(data)
        shutil.copy(kernels[0], folder / "vmlinuz")
        shutil.copy(builtins[0], folder / "modules" / "modules.builtin")  # for modprobe in a full boot
        for tree in (download / "root").glob("usr/lib/linux-image-*/broadcom/bcm2837-rpi-3-b.dtb"):
            shutil.copy(tree, folder / "pi3.dtb")
    (folder / "ready").write_text(" ".join(modules + ["builtin", "version"]))
    print(f"kernel: {(folder / 'version').read_text().strip()}")
    return folder


def initramfs(work, kernel_folder, iodll, ioprobe, relayplay):
    """busybox, the modules, the scenarios, IO.DLL, the probe and their
    libraries."""
    root = work / "root"
    shutil.rmtree(root, ignore_errors=True)
    for folder in ["bin", "etc", "opt", "modules", "proc", "sys", "dev", "tmp"]:
        (root / folder).mkdir(parents=True)
    shutil.copy(shutil.which("busybox"), root / "bin/busybox")
    shutil.copy(HERE / "init", root / "init")
    (root / "init").chmod(0o755)
    shutil.copytree(HERE / "scenarios", root / "scenarios")
    shutil.copy(iodll, root / "opt/IO.DLL")
    shutil.copy(ioprobe, root / "opt/ioprobe")
    shutil.copy(relayplay, root / "opt/relayplay")
    # Names for the users and groups the steps use, as messages show them.
    (root / "etc/passwd").write_text("root:x:0:0:root:/:/bin/sh\nuser:x:1000:1000:user:/:/bin/sh\n"
                                     "fan:x:1001:1001:fan:/:/bin/sh\n")
    (root / "etc/group").write_text("root:x:0:\nlp:x:7:fan\nuser:x:1000:\nfan:x:1001:\n")
    for module in (kernel_folder / "modules").iterdir():
        shutil.copy(module, root / "modules")
    for binary in [iodll, ioprobe, relayplay]:
        for library in re.findall(r"(/\S+) \(0x", run("ldd", binary)):
            target = root / library.lstrip("/")
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(library, target)
    return cpio(root, work / "initramfs.cpio")


def cpio(root, archive):
    """The folder as an initramfs."""
    files = run("find", ".", cwd=root)
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
        result = subprocess.run(command, capture_output=True, encoding="utf-8", errors="replace", timeout=int(os.environ.get("KERNEL_BOOT_SECONDS", 900)),
                                stdin=subprocess.DEVNULL)
        returncode, out, err = result.returncode, result.stdout, result.stderr
    except subprocess.TimeoutExpired as timeout:  # what it printed says how far it came
        returncode = "timed out"
        out, err = (text.decode(errors="replace") if text else "" for text in (timeout.stdout, timeout.stderr))
    return returncode, [line.rstrip("\r") for line in out.splitlines()] + err.splitlines()


def judge(scenario, returncode, lines):
    """Why the boot's output is wrong, or None when it is right."""
    # The firmware's escape sequences may stand before the first line.
    marks = [i for i, line in enumerate(lines) if re.search(f"scenario {scenario.file.stem} (begins|ends)$", line)]
    if len(marks) != 2:
        return f"the scenario did not run to its end (QEMU exit status {returncode})"
    lines = lines[marks[0] + 1:marks[1]]
    position, unwanted = 0, []
    for pattern in scenario.expected:
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
    if seen != scenario.reports:
        return f"IO.DLL printed {seen} lines, not {scenario.reports}"
    if returncode != 0:
        return f"QEMU exited with status {returncode}"
    return None


# The emulated Raspberry Pi 3: its GPIO registers, as QEMU's monitor reads
# them (function select, 3 bits a line; level, a bit a line), and where the
# host keeps arm64 libraries.
PI_GPIO = 0x3F200000
PI_MODULES = ["bcm2835_thermal"]
ARM64_LIBRARIES = [Path("/usr/lib/aarch64-linux-gnu"), Path("/lib/aarch64-linux-gnu")]


def pi_initramfs(work, kernel_folder, deb):
    """The arm64 package's files and the arm64 libraries they need, with
    Debian's arm64 busybox, the Pi's modules, the init and the scenarios."""
    root = work / "pi-root"
    shutil.rmtree(root, ignore_errors=True)
    for folder in ["proc", "sys", "dev", "tmp", "etc", "modules", "usr/lib/aarch64-linux-gnu", "usr/bin"]:
        (root / folder).mkdir(parents=True)
    for link in ["bin", "lib"]:
        (root / link).symlink_to(f"usr/{link}")
    with tempfile.TemporaryDirectory(dir=work) as download:
        run("apt-get", "download", "busybox-static:arm64", cwd=download)
        run("dpkg-deb", "-x", next(Path(download).glob("*.deb")), Path(download) / "root")
        shutil.copy(Path(download) / "root/bin/busybox", root / "bin/busybox")
        # The program, its IO.DLL and its rules, not the units
        run("dpkg-deb", "-x", deb, Path(download) / "package")
        shutil.copytree(Path(download) / "package/usr", root / "usr", symlinks=True, dirs_exist_ok=True)
    shutil.copy(HERE / "init", root / "init")
    shutil.copytree(HERE / "scenarios", root / "scenarios")
    (root / "etc/passwd").write_text("root:x:0:0:root:/:/bin/sh\nuser:x:1000:1000:user:/:/bin/sh\n"
                                     "fan:x:1001:1001:fan:/:/bin/sh\n")
    (root / "etc/group").write_text("root:x:0:\nlp:x:7:fan\nuser:x:1000:\nfan:x:1001:\n")
    for module in (kernel_folder / "modules").iterdir():
        shutil.copy(module, root / "modules")
    programs = [file for file in (root / "usr/lib").rglob("*") if file.is_file() and file.read_bytes()[:4] == b"\x7fELF"]
    seen, wanted = set(), [*programs]
    while wanted:
        for name in re.findall(r"\(NEEDED\).*\[(.+)\]", run("readelf", "-d", wanted.pop())):
            if name in seen:
                continue
            seen.add(name)
            found = next((folder / name for folder in ARM64_LIBRARIES if (folder / name).exists()), None)
            if not found:
                skip(f"no arm64 {name} on this machine (tools/setup test installs the arm64 libraries)")
            shutil.copy(found, root / "usr/lib/aarch64-linux-gnu" / name)
            wanted.append(found)
    shutil.copy(ARM64_LIBRARIES[0] / "ld-linux-aarch64.so.1", root / "usr/lib/ld-linux-aarch64.so.1")
    return cpio(root, work / "pi-initramfs.cpio")


class PiMonitor:
    """QEMU's monitor of the emulated Pi, over a socket: what a GPIO line
    is, seen from outside the guest."""

    def __init__(self, path):
        self.path, self.socket = path, None

    def command(self, text):
        import socket
        if not self.socket:
            self.socket = socket.socket(socket.AF_UNIX)
            self.socket.connect(str(self.path))
            self.read()
        self.socket.sendall(text.encode() + b"\n")
        return self.read()

    def read(self):
        answer = b""
        while not answer.endswith(b"(qemu) "):
            answer += self.socket.recv(4096)
        return answer.decode(errors="replace")

    def word(self, address):
        found = re.search(rf"{address:x}: (0x[0-9a-f]+)", self.command(f"xp /1wx {address:#x}"))
        return int(found.group(1), 16)

    def line(self, number):
        function = self.word(PI_GPIO + 4 * (number // 10)) >> (3 * (number % 10)) & 7
        level = self.word(PI_GPIO + 0x34) >> number & 1
        return f"{'input' if function == 0 else 'output' if function == 1 else f'function {function}'} " \
               f"{'high' if level else 'low'}"


def pi_qemu(kernel_folder, archive, scenario, work):
    """One boot of the emulated Pi, answering the guest's "observe N"."""
    monitor_path = Path(tempfile.mkdtemp(dir=work)) / "monitor"
    command = ["qemu-system-aarch64", "-M", "raspi3b", "-accel", "tcg", "-display", "none", "-no-reboot",
               "-kernel", str(kernel_folder / "vmlinuz"), "-dtb", str(kernel_folder / "pi3.dtb"),
               "-initrd", str(archive), "-serial", "null", "-serial", "stdio",
               "-monitor", f"unix:{monitor_path},server=on,wait=off",
               "-append", f"console=ttyS1 quiet panic=-1 iomem=relaxed ventrolik.scenario={scenario}"]
    qemu = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            encoding="utf-8", errors="replace")
    timer = threading.Timer(int(os.environ.get("KERNEL_BOOT_SECONDS", 900)), qemu.kill)
    timer.start()
    monitor, lines, returncode = PiMonitor(monitor_path), [], None
    try:
        for line in qemu.stdout:
            lines.append(line.rstrip("\r\n"))
            observe = re.fullmatch(r"observe (\d+)", lines[-1])
            if observe:
                qemu.stdin.write(monitor.line(int(observe.group(1))) + "\n")
                qemu.stdin.flush()
            elif lines[-1].endswith(f"scenario {scenario} ends"):
                returncode = 0  # the Pi can't power itself off
                break
    finally:
        timer.cancel()
        qemu.kill()
        qemu.wait()
        shutil.rmtree(monitor_path.parent, ignore_errors=True)
    return returncode if returncode is not None else qemu.returncode, lines


def check_qemu():
    """Skips the test, saying why, where QEMU can't boot a machine here."""
    if not shutil.which("qemu-system-x86_64"):
        skip("qemu-system-x86_64 is not installed")
    try:
        subprocess.run(["qemu-system-x86_64", "-accel", "tcg", "-machine", "none", "-nodefaults", "-display", "none",
                        "-qmp", "stdio"], input='{"execute": "qmp_capabilities"} {"execute": "quit"}',
                       capture_output=True, text=True, timeout=30, check=True)
    except (subprocess.SubprocessError, OSError) as error:
        skip(f"QEMU cannot start here: {getattr(error, 'stderr', '') or error}")


def report(name, fault, lines, seconds):
    print(f"{'not ok' if fault else 'ok'} {name}{': ' + fault if fault else ''} ({seconds:.1f} s)")
    if fault:
        print("".join(f"    | {line}\n" for line in lines), end="")


class Machine:
    """Boots of the kernel, each with the test's programs and one scenario."""

    def __init__(self, work, programs, builds):
        self.work, self.programs, self.builds = work.resolve(), programs, builds
        iodll, ioprobe, relayplay, self.ventrolik = programs
        self.kernel = kernel(work)
        self.archive = initramfs(work, self.kernel, iodll, ioprobe, relayplay)

    def build(self, scenario):
        """The Windows build's folder that the scenario runs, if any."""
        return next((folder for folder in self.builds if folder.name == f"mingw-{scenario.build}"), None)

    def prepare_pi(self, deb):
        """The Pi's kernel and initramfs, for its scenarios."""
        self.pi_kernel = kernel(self.work, "linux-image-arm64:arm64", PI_MODULES)
        self.pi_archive = pi_initramfs(self.work, self.pi_kernel, deb)

    def boot(self, scenario):
        start = time.monotonic()
        if scenario.machine:
            returncode, lines = pi_qemu(self.pi_kernel, self.pi_archive, scenario.file.stem, self.work)
            return scenario, judge(scenario, returncode, lines), lines, time.monotonic() - start
        programs = (f"ventrolik.program={self.ventrolik.resolve()} ventrolik.tests={HERE.parent} "
                    f"ventrolik.windows={self.build(scenario) or ''}")
        returncode, lines = qemu(self.kernel, self.archive, scenario.file.stem, scenario.qemu, programs, self.work)
        return scenario, judge(scenario, returncode, lines), lines, time.monotonic() - start

    def wine_prefix(self):
        """The Wine prefix that every Windows boot shares, made before them:
        on the host where it runs 32-bit programs (quicker), else in a guest.
        False if it could not be made."""
        if subprocess.run([HERE / "../../tools/runs-32bit"], capture_output=True).returncode == 0:
            print(run("bash", HERE / "wine.sh", "prefix", self.work), end="")
            return True
        making = Scenario("wine-prefix", Path("wine-prefix"), expected=[r"!FAIL", r"^Wine prefix (made|kept)"])
        _, fault, lines, seconds = self.boot(making)
        report("wine-prefix, in a guest", fault, lines, seconds)
        return not fault


def main():
    *programs, work = (Path(argument) for argument in sys.argv[1:6])
    builds = [Path(folder).resolve() for folder in sys.argv[6].split(",")]
    wanted = sys.argv[7:]
    check_qemu()
    if not shutil.which("busybox"):
        print("FAIL: busybox is not installed (Debian's busybox-static)")
        return 1
    work.mkdir(parents=True, exist_ok=True)
    machine = Machine(work, programs, builds)

    rows = [scenario for scenario in scenarios() if not wanted or scenario.name in wanted]
    for scenario in [scenario for scenario in rows if scenario.build]:
        if not machine.build(scenario) or not (machine.build(scenario) / "tests/clickpoints.exe").exists():
            print(f"SKIP: {scenario.name}: not built (tools/build mingw-{scenario.build})")
            rows.remove(scenario)
    wine32 = subprocess.run([HERE / "../../tools/has-wine32"], capture_output=True, text=True)
    for scenario in [scenario for scenario in rows if scenario.build == "i686" and wine32.returncode]:
        print(f"SKIP: {scenario.name}: {wine32.stdout.strip()}")
        rows.remove(scenario)
    for scenario in [scenario for scenario in rows if scenario.needs]:
        if scenario.machine and os.environ.get("VENTROLIK_ARM64") == "no":
            print(f"SKIP: {scenario.name}: VENTROLIK_ARM64=no leaves out the arm64 package and the emulated Pi")
            rows.remove(scenario)
        elif not list(HERE.parent.parent.glob(scenario.needs)):
            print(f"SKIP: {scenario.name}: no {scenario.needs} (tools/package makes it)")
            rows.remove(scenario)
    pi = [scenario for scenario in rows if scenario.machine]
    if pi and not shutil.which("qemu-system-aarch64"):
        print(f"SKIP: {', '.join(scenario.name for scenario in pi)}: qemu-system-aarch64 is not installed")
        rows = [scenario for scenario in rows if not scenario.machine]
    elif pi:
        machine.prepare_pi(sorted(HERE.parent.parent.glob(pi[0].needs))[-1])
    passed = failed = 0
    if any(scenario.build for scenario in rows) and not machine.wine_prefix():
        failed += 1
        rows = [scenario for scenario in rows if not scenario.build]
    # The Windows boots first, as the longest, two boots at a time.
    rows.sort(key=lambda scenario: not scenario.build)
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for scenario, fault, lines, seconds in pool.map(machine.boot, rows):
            passed, failed = passed + (not fault), failed + bool(fault)
            report(scenario.name, fault, lines, seconds)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
