"""The guest's image: Debian's kernel, fetched once into a cache and unpacked
(never installed), the USB serial modules it needs, and an initramfs with
busybox, the modules, the static test programs and the guest's /init."""
import fcntl
import lzma
import os
import re
import shutil
import struct
import subprocess

from common import StepFailed, run


def kernel_package():
    """The kernel package linux-image-amd64 stands for now, or None without apt lists."""
    try:
        out = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True,
                             text=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    found = re.search(r"Depends: (linux-image-\S+-amd64)\s", out)
    return found.group(1) if found else None


def extract_vmlinux(vmlinuz, out):
    """The uncompressed kernel inside Debian's bzImage: QEMU boots it straight
    (PVH entry), without the minutes of decompression an emulated CPU needs."""
    data = open(vmlinuz, "rb").read()
    start = data.find(b"\xfd7zXZ\x00")
    if start < 0:
        return False
    try:
        image = lzma.LZMADecompressor(format=lzma.FORMAT_XZ).decompress(data[start:])
    except lzma.LZMAError:
        return False
    if not image.startswith(b"\x7fELF"):
        return False
    with open(out + ".part", "wb") as f:
        f.write(image)
    os.replace(out + ".part", out)
    return True


def fetch_kernel(cache):
    """Downloads and unpacks the kernel once; returns its folder in the cache."""
    os.makedirs(cache, exist_ok=True)
    with open(os.path.join(cache, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # another run may be fetching it
        return fetch_kernel_locked(cache)


def fetch_kernel_locked(cache):
    step = "kernel"
    package = kernel_package()
    if package is None:
        ready = sorted(d for d in os.listdir(cache) if os.path.exists(os.path.join(cache, d, "ready")))
        if not ready:
            raise StepFailed(step, "apt-cache does not know linux-image-amd64 (apt-get update?) "
                                   "and no kernel is cached in " + cache)
        package = ready[-1]
    folder = os.path.join(cache, package)
    if os.path.exists(os.path.join(folder, "ready")):
        return folder
    print(f"test-drivers: fetching {package} into {cache}", flush=True)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    run(step, ["apt-get", "download", package], 300, cwd=folder)
    debs = [f for f in os.listdir(folder) if f.endswith(".deb")]
    if not debs:
        raise StepFailed(step, "apt-get download left no package")
    tree = os.path.join(folder, "tree")
    run(step, ["dpkg-deb", "-x", os.path.join(folder, debs[0]), tree], 300)
    os.remove(os.path.join(folder, debs[0]))
    boot = os.path.join(tree, "boot")
    vmlinuz = next((os.path.join(boot, f) for f in os.listdir(boot) if f.startswith("vmlinuz")), None)
    if vmlinuz is None:
        raise StepFailed(step, f"{package} holds no vmlinuz")
    shutil.copy(vmlinuz, os.path.join(folder, "vmlinuz"))
    extract_vmlinux(vmlinuz, os.path.join(folder, "vmlinux"))
    # Only the USB drivers are needed: the rest (some 400 MB) goes.
    modules = os.path.join(tree, "lib", "modules")
    version = os.listdir(modules)[0]
    shutil.copytree(os.path.join(modules, version, "kernel", "drivers", "usb"),
                    os.path.join(folder, "usb"))
    shutil.rmtree(tree)
    open(os.path.join(folder, "ready"), "w").write(version + "\n")
    return folder


def module_depends(path):
    """The depends= entry of a module's .modinfo section."""
    data = open(path, "rb").read()
    if data[:4] != b"\x7fELF":
        raise ValueError("not an ELF file")
    shoff, = struct.unpack_from("<Q", data, 0x28)
    entsize, count, names = struct.unpack_from("<HHH", data, 0x3A)
    sections = [struct.unpack_from("<IIQQQQ", data, shoff + i * entsize) for i in range(count)]
    strings = sections[names][4]
    for name, _, _, _, offset, size in sections:
        end = data.index(b"\0", strings + name)
        if data[strings + name:end] == b".modinfo":
            for entry in data[offset:offset + size].split(b"\0"):
                if entry.startswith(b"depends="):
                    return [d for d in entry[8:].decode().split(",") if d]
    return []


def module_order(usb_tree, wanted):
    """The module files to load, each after what it depends on."""
    files = {}
    for folder, _, names in os.walk(usb_tree):
        for name in names:
            if name.endswith(".ko"):
                files[name[:-3].replace("_", "-")] = os.path.join(folder, name)
    order = []

    def visit(name, chain):
        key = name.replace("_", "-")
        if key in chain:
            raise StepFailed("modules", "circular dependency at " + name)
        if key not in files:
            raise StepFailed("modules", f"no module {name} among the kernel's USB drivers")
        if files[key] in order:
            return
        try:
            dependencies = module_depends(files[key])
        except (OSError, ValueError, IndexError, struct.error) as e:
            raise StepFailed("modules", f"cannot read {files[key]}: {e}")
        for dependency in dependencies:
            visit(dependency, chain + [key])
        order.append(files[key])

    for name in wanted:
        visit(name, [])
    return order



def write_cpio(entries, out):
    """A newc archive: (path, mode, bytes or None) for folders."""
    with open(out, "wb") as f:
        def pad():
            f.write(b"\0" * (-f.tell() % 4))

        def header(inode, name, mode, size, links):
            fields = (inode, mode, 0, 0, links, 0, size, 0, 0, 0, 0, len(name) + 1, 0)
            f.write(b"070701" + b"".join(b"%08X" % v for v in fields) + name.encode() + b"\0")
            pad()

        for inode, (name, mode, data) in enumerate(entries, 1):
            header(inode, name, mode, len(data or b""), 2 if data is None else 1)
            if data:
                f.write(data)
                pad()
        header(len(entries) + 1, "TRAILER!!!", 0, 0, 1)
        f.write(b"\0" * (-f.tell() % 512))


def program_bytes(path, work):
    """The program, stripped when strip is there (the initramfs is read by an emulated CPU)."""
    stripped = os.path.join(work, os.path.basename(path) + ".stripped")
    try:
        if shutil.which("strip"):
            subprocess.run(["strip", "-o", stripped, path], check=True, timeout=60)
            return open(stripped, "rb").read()
    except (OSError, subprocess.SubprocessError):
        pass
    return open(path, "rb").read()


def build_initramfs(kernel, modules, init, programs, work):
    """The archive, and the modules in the order /init loads them. `programs`
    maps paths of static programs to their names in the guest's /bin."""
    order = module_order(os.path.join(kernel, "usb"), modules)
    busybox = shutil.which("busybox") or "/bin/busybox"
    if not os.path.exists(busybox):
        raise StepFailed("initramfs", "no busybox (install busybox-static)")
    names = [os.path.basename(p)[:-3] for p in order]
    entries = [(d, 0o40755, None) for d in ("bin", "dev", "proc", "sys", "tmp", "lib", "lib/modules")]
    entries += [
        ("init", 0o100755, open(init, "rb").read()),
        ("bin/busybox", 0o100755, open(busybox, "rb").read()),
        ("lib/modules/order", 0o100644, ("\n".join(names) + "\n").encode()),
    ]
    entries += [(f"bin/{name}", 0o100755, program_bytes(p, work)) for p, name in programs.items()]
    entries += [(f"lib/modules/{n}.ko", 0o100644, open(p, "rb").read()) for n, p in zip(names, order)]
    out = os.path.join(work, "initramfs.cpio")
    write_cpio(entries, out)
    return out, names


def is_static(path):
    """Whether an ELF program has no interpreter (no dynamic loader)."""
    try:
        data = open(path, "rb").read(65536)
    except OSError:
        return False
    if data[:4] != b"\x7fELF":
        return False
    phoff, = struct.unpack_from("<Q", data, 0x20)
    entsize, count = struct.unpack_from("<HH", data, 0x36)
    return all(struct.unpack_from("<I", data, phoff + i * entsize)[0] != 3 for i in range(count))
