#!/usr/bin/env python3
"""check_release.py SOURCE: `./vivu dist` on two copies of the source at
different paths packs the same DLL bytes (no time stamp, no build path), in an
archive that Windows' own zip support opens (four deflated files, no extra
fields) whose checksums cover the other three and hold, whose texts Notepad
shows as lines (plain ASCII, CR LF), whose list of changes mentions its
version, which names the packages that built it, and the DLL's version
resource says the version the archive is named by. Then one source file of a
copy is broken: `./vivu dist` fails with the compiler's message last and
leaves no archive."""
import hashlib, os, re, shutil, struct, subprocess, sys, tempfile, zipfile


def build_release(source, copy):
    shutil.copytree(source, copy, ignore=lambda folder, names: {"build", "dist", ".git"} if folder == source else ())
    subprocess.run([os.path.join(copy, "vivu"), "dist"], check=True, stdout=subprocess.DEVNULL)
    (name,) = os.listdir(os.path.join(copy, "dist"))
    return os.path.join(copy, "dist", name)


def broken_build_fails(copy, failures):
    with open(os.path.join(copy, "src", "plugin", "file_name.cpp"), "a") as source:
        source.write("\nnot C++ at all\n")
    run = subprocess.run([os.path.join(copy, "vivu"), "dist"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    last = run.stdout.strip().splitlines()[-3:]
    print("broken build: exit", run.returncode, "last lines:", last)
    if run.returncode == 0 or os.listdir(os.path.join(copy, "dist")):
        failures.append("a broken build passed, or left an archive")
    if not any("file_name.cpp" in line and "error" in line for line in last):
        failures.append("the compiler's message is not the last thing a broken build prints")


def version_resource(dll):
    """The language and bytes of the DLL's one VERSIONINFO resource."""
    pe = struct.unpack_from("<I", dll, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", dll, pe + 6)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", dll, optional)[0] == 0x10B else 112)
    resources = struct.unpack_from("<I", dll, directories + 2 * 8)[0]
    for at in range(optional + optional_size, optional + optional_size + 40 * sections, 40):
        size, address, _, offset = struct.unpack_from("<4I", dll, at + 8)
        if address <= resources < address + size:
            base, delta = offset + resources - address, offset - address

    def entries(table):
        named, numbered = struct.unpack_from("<2H", dll, base + table + 12)
        return [struct.unpack_from("<2I", dll, base + table + 16 + 8 * i) for i in range(named + numbered)]

    (name_table,) = [target & 0x7FFFFFFF for kind, target in entries(0) if kind == 16]
    ((_, language_table),) = entries(name_table & 0x7FFFFFFF)
    ((language, data),) = entries(language_table & 0x7FFFFFFF)
    rva, size = struct.unpack_from("<2I", dll, base + data)
    return language, dll[rva + delta : rva + delta + size]


def version_block(data, at=0):
    """(key, value, children) of one block of a version resource."""
    length, value_length, is_text = struct.unpack_from("<3H", data, at)
    key_end = at + 6
    while data[key_end : key_end + 2] != b"\0\0":
        key_end += 2
    value_at = (key_end + 5) & ~3
    value = data[value_at : value_at + value_length * (2 if is_text else 1)]
    children, child = [], (value_at + len(value) + 3) & ~3
    while child < at + length:
        children.append(version_block(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return data[at + 6 : key_end].decode("utf-16-le"), value, children


def plain_lines(text):
    """Plain ASCII whose every line ends in CR LF: Notepad shows it as lines."""
    lines = text.count(b"\r\n")
    return text.isascii() and text.endswith(b"\r\n") and text.count(b"\n") == lines == text.count(b"\r")


def main(source):
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        first = build_release(source, os.path.join(scratch, "a", "source"))
        second_copy = os.path.join(scratch, "another", "copy-two")
        second = build_release(source, second_copy)
        with zipfile.ZipFile(first) as archive, zipfile.ZipFile(second) as other:
            dll = archive.read("vivu_wma.dll")
            print("vivu_wma.dll sha256", hashlib.sha256(dll).hexdigest(), "and", hashlib.sha256(other.read("vivu_wma.dll")).hexdigest())
            if dll != other.read("vivu_wma.dll"):
                failures.append("two builds of the same source differ")
            elif open(first, "rb").read() != open(second, "rb").read():
                failures.append("the same files packed twice give two archives")
            names = ["vivu_wma.dll", "README.txt", "CHANGES.txt", "BUILDINFO.txt"]
            if archive.namelist() != names + ["SHA256SUMS"]:
                failures.append(f"archive holds {archive.namelist()}")
            for entry in archive.infolist():
                if entry.compress_type != zipfile.ZIP_DEFLATED or entry.extra or entry.flag_bits & ~0x6:
                    failures.append(f"{entry.filename}: not a plain deflated entry")
            if archive.testzip() is not None:
                failures.append("archive damaged")
            summed = []
            for line in archive.read("SHA256SUMS").decode().splitlines():
                digest, name = line.split("  ")
                summed.append(name)
                if hashlib.sha256(archive.read(name)).hexdigest() != digest:
                    failures.append(f"SHA256SUMS is wrong for {name}")
            if summed != names:
                failures.append(f"SHA256SUMS covers {summed}")
            texts = {name: archive.read(name) for name in names[1:] if name in archive.namelist()}

        language, data = version_resource(dll)
        key, fixed, children = version_block(data)
        file_version = struct.unpack_from("<4H", fixed, 8)
        numbers = "%d.%d.%d" % (file_version[1], file_version[0], file_version[3])
        strings = {k: v.decode("utf-16-le").rstrip("\0") for block in children if block[0] == "StringFileInfo"
                   for table in block[2] for k, v, _ in table[2]}
        tables = [table[0] for block in children if block[0] == "StringFileInfo" for table in block[2]]
        print(f"version resource (language {language}):", numbers, strings)
        archive_version = re.fullmatch(r"vivu_wma-(.*)\.zip", os.path.basename(first)).group(1)
        for name, text in texts.items():
            if not plain_lines(text):
                failures.append(f"{name} is not plain ASCII with CR LF line ends")
        changes = texts.get("CHANGES.txt", b"").decode("ascii", "replace")
        if not re.search(rf"(?<![\d.]){re.escape(archive_version)}(?!\.?\d)", changes):
            failures.append(f"CHANGES.txt does not mention version {archive_version}")
        if key != "VS_VERSION_INFO" or numbers != archive_version or file_version[2] != 0:
            failures.append(f"file version {file_version} is not the archive's {archive_version}")
        if strings.get("FileVersion") != archive_version or strings.get("ProductVersion") != archive_version:
            failures.append("version texts differ from the archive's version")
        if strings.get("OriginalFilename") != "vivu_wma.dll" or not strings.get("FileDescription"):
            failures.append("original file name or description missing")
        built_by = texts.get("BUILDINFO.txt", b"").decode("ascii", "replace")
        compiler = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "g++-mingw-w64-i686-posix"],
                                  stdout=subprocess.PIPE, text=True).stdout
        if f"g++-mingw-w64-i686-posix {compiler}\r\n" not in built_by or f"vivu_wma {archive_version}" not in built_by:
            failures.append("BUILDINFO.txt does not name the version and the compiler that built it")
        if language != 0 or tables != ["000004b0"]:
            failures.append(f"not language neutral: resource language {language}, string tables {tables}")
        broken_build_fails(second_copy, failures)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(os.path.realpath(sys.argv[1])))
