#!/usr/bin/env python3
"""Checks the shape of one shipped Windows file without running it, by reading its bytes.

    check-pe.py FILE [--pe32] [--module NAME] [--export ORDINAL:NAME | --export NAME ...]
                [--exact-exports] [--imports-system-only] [--allow-import DLL ...]
                [--version A.B.C.D] [--string KEY=VALUE ...] [--resource TYPE:ID ...]
                [--manifest-level LEVEL] [--manifest-os GUID ...] [--imports-known-dlls]

Every failed expectation is printed; the exit status is 1 when any failed. This is what a machine
that cannot run 32-bit code still proves about the 32-bit deliverables.
"""
import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree

# The DLLs of the system itself that a deliverable may import; anything else (a compiler's runtime
# DLL above all) would have to be shipped beside it.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll", "advapi32.dll",
    "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll", "urlmon.dll", "wininet.dll",
    "version.dll", "psapi.dll", "msvcrt.dll", "ws2_32.dll", "crypt32.dll", "msimg32.dll",
    "uxtheme.dll", "winmm.dll", "rpcrt4.dll", "ntdll.dll", "imm32.dll",
}

# The known DLLs of Windows 7 and later, which the loader takes from the system folder only, and
# ntdll, which every process has loaded before its program's imports. Any other DLL a program
# imports is looked for in the program's own folder first.
KNOWN_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comdlg32.dll", "shlwapi.dll", "msvcrt.dll", "psapi.dll", "imm32.dll",
    "ws2_32.dll", "rpcrt4.dll", "setupapi.dll", "imagehlp.dll", "normaliz.dll", "nsi.dll",
    "sechost.dll", "wldap32.dll", "msctf.dll", "clbcatq.dll", "difxapi.dll", "ntdll.dll",
}

# The manifest dependency that has the loader take comctl32 from the side-by-side store.
COMMON_CONTROLS_6 = {
    "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
    "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df",
}


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, _, _, _, optsize, self.characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic == 0x10B:
            dirs = opt + 96
        elif self.magic == 0x20B:
            dirs = opt + 112
        else:
            raise ValueError("unknown optional header magic %#x" % self.magic)
        count = struct.unpack_from("<I", data, dirs - 4)[0]
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(count)]
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            _, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr, rawsize))

    def offset(self, rva):
        for va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size and rva - va < rawsize:
                return rawptr + rva - va
        raise ValueError("address %#x is in no section" % rva)

    def cstr(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("latin-1")

    def directory(self, index):
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def exports(self):
        rva, size = self.directory(0)
        if not rva:
            return None, {}
        off = self.offset(rva)
        (_, _, _, _, name_rva, base, nfuncs, nnames, funcs, names, ordinals) = struct.unpack_from("<IIHHIIIIIII", self.data, off)
        module = self.cstr(name_rva)
        by_ordinal = {base + i: None for i in range(nfuncs)
                      if struct.unpack_from("<I", self.data, self.offset(funcs) + 4 * i)[0]}
        for i in range(nnames):
            name = self.cstr(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0])
            index = struct.unpack_from("<H", self.data, self.offset(ordinals) + 2 * i)[0]
            by_ordinal.setdefault(base + index, None)
            by_ordinal[base + index] = (by_ordinal[base + index] or []) + [name]
        return module, by_ordinal

    def imports(self):
        rva, _ = self.directory(1)
        result = []
        off = self.offset(rva) if rva else None
        while off is not None:
            name_rva = struct.unpack_from("<IIIII", self.data, off)[3]
            if not name_rva:
                break
            result.append(self.cstr(name_rva))
            off += 20
        return result

    def resources(self):
        """{(type, id): [data bytes, ...]} for every leaf, types and ids as ints or names."""
        rva, _ = self.directory(2)
        if not rva:
            return {}
        base = self.offset(rva)
        found = {}

        def entries(off):
            named, ids = struct.unpack_from("<HH", self.data, off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, off + 16 + 8 * i)
                if name & 0x80000000:
                    n = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, n)[0]
                    name = self.data[n + 2:n + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        for rtype, t in entries(base):
            for rid, i in entries(base + (t & 0x7FFFFFFF)):
                target = i
                if target & 0x80000000:
                    for _, leaf in entries(base + (target & 0x7FFFFFFF)):
                        data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                        off = self.offset(data_rva)
                        found.setdefault((rtype, rid), []).append(self.data[off:off + size])
        return found


def version_info(block):
    """The fixed file version and the string table of a VS_VERSIONINFO block."""
    def node(off):
        length, value_len, kind = struct.unpack_from("<HHH", block, off)
        key_end = off + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[off + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        return length, value_len, kind, key, value

    length, value_len, _, key, value = node(0)
    if key != "VS_VERSION_INFO":
        raise ValueError("not a version block")
    signature, _, ms, ls = struct.unpack_from("<IIII", block, value)
    if signature != 0xFEEF04BD:
        raise ValueError("no fixed file information")
    fixed = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}

    def walk(off, end):
        while off < end:
            length, value_len, kind, key, value = node(off)
            if length == 0:
                break
            if kind == 1 and value_len and not key.startswith(("StringFileInfo", "VarFileInfo")):
                text = block[value:value + 2 * value_len].decode("utf-16-le").rstrip("\0")
                strings[key] = text
            else:
                child = value + (value_len if kind == 0 else 2 * value_len)
                walk((child + 3) & ~3, off + length)
            off = (off + length + 3) & ~3

    first_child = (value + value_len + 3) & ~3
    walk(first_child, length)
    return fixed, strings


def local_name(element):
    return element.tag.rsplit("}", 1)[-1]


def application_manifest(resources):
    """The application manifest (RT_MANIFEST 24, id 1, which the loader reads for a program) as an
    element tree, or None and what is wrong with it. Elements are matched by local name, whatever
    namespace they are in."""
    blocks = resources.get((24, 1))
    if not blocks:
        return None, "no application manifest (resource 24:1)"
    try:
        return ElementTree.fromstring(blocks[0]), None
    except ElementTree.ParseError as e:
        return None, "the application manifest is not well-formed XML: %s" % e


def dependent_assemblies(root):
    """The attributes of each assemblyIdentity in assembly/dependency/dependentAssembly."""
    found = []
    if root is None or local_name(root) != "assembly":
        return found
    for dependency in (e for e in root if local_name(e) == "dependency"):
        for dependent in (e for e in dependency if local_name(e) == "dependentAssembly"):
            found += [dict(e.attrib) for e in dependent if local_name(e) == "assemblyIdentity"]
    return found


def imports_beside_failures(imports, resources):
    """The imported DLLs that the loader would look for in the program's own folder first: neither
    a known DLL nor comctl32 bound by the manifest to Common Controls 6.0 (every attribute exact)."""
    root, _ = application_manifest(resources)
    bound = set()
    if any(all(a.get(k) == v for k, v in COMMON_CONTROLS_6.items()) for a in dependent_assemblies(root)):
        bound.add("comctl32.dll")
    beside = [d for d in imports if d.lower() not in KNOWN_DLLS | bound]
    if not beside:
        return []
    failure = "imports DLLs that the loader looks for beside the program first: %s" % ", ".join(beside)
    if "comctl32.dll" in (d.lower() for d in beside):
        failure += " (comctl32 needs the manifest's dependency on Common Controls 6.0)"
    return [failure]


def manifest_failures(resources, level, os_ids):
    """What the application manifest lacks: the one requested execution level `level` without UI
    access, and a supportedOS entry for each of `os_ids`."""
    root, problem = application_manifest(resources)
    if root is None:
        return [problem]

    def named(local):
        return [e for e in root.iter() if local_name(e) == local]

    failures = []
    if level is not None:
        levels = [(e.get("level"), e.get("uiAccess")) for e in named("requestedExecutionLevel")]
        if levels != [(level, "false")]:
            failures.append("manifest execution levels (level, uiAccess) %s, expected [(%r, 'false')]" % (levels, level))
    supported = {(e.get("Id") or "").lower() for e in named("supportedOS")}
    for os_id in os_ids:
        if os_id.lower() not in supported:
            failures.append("manifest lacks supportedOS %s" % os_id)
    return failures


def main():
    p = argparse.ArgumentParser()
    p.add_argument("file")
    p.add_argument("--pe32", action="store_true", help="a 32-bit x86 PE file")
    p.add_argument("--module")
    p.add_argument("--export", action="append", default=[])
    p.add_argument("--exact-exports", action="store_true")
    p.add_argument("--imports-system-only", action="store_true")
    p.add_argument("--allow-import", action="append", default=[])
    p.add_argument("--version")
    p.add_argument("--string", action="append", default=[])
    p.add_argument("--resource", action="append", default=[])
    p.add_argument("--manifest-level")
    p.add_argument("--manifest-os", action="append", default=[])
    p.add_argument("--imports-known-dlls", action="store_true",
                   help="every import is a known DLL, or comctl32 bound by the manifest")
    a = p.parse_args()

    failures = []
    with open(a.file, "rb") as f:
        pe = Pe(f.read())
    if a.pe32 and not (pe.magic == 0x10B and pe.machine == 0x14C):
        failures.append("not PE32 for x86 (magic %#x, machine %#x)" % (pe.magic, pe.machine))

    module, by_ordinal = pe.exports()
    if a.module is not None and module != a.module:
        failures.append("export table module name %r, expected %r" % (module, a.module))
    expected_names = set()
    for e in a.export:
        if ":" in e:
            ordinal, name = e.split(":", 1)
            names = by_ordinal.get(int(ordinal)) or []
            if name not in names:
                failures.append("ordinal %s exports %s, expected %s" % (ordinal, names or "nothing", name))
        else:
            name = e
            if not any(name in (n or []) for n in by_ordinal.values()):
                failures.append("no export named %s" % name)
        expected_names.add(name)
    if a.exact_exports:
        extra = sorted(n for names in by_ordinal.values() for n in (names or []) if n not in expected_names)
        if extra:
            failures.append("unexpected exports: %s" % ", ".join(extra))

    imports = pe.imports()
    if a.imports_system_only:
        allowed = SYSTEM_DLLS | {d.lower() for d in a.allow_import}
        bad = [d for d in imports if d.lower() not in allowed]
        if bad:
            failures.append("imports outside the system: %s" % ", ".join(bad))

    resources = pe.resources()
    if a.imports_known_dlls:
        failures += imports_beside_failures(imports, resources)
    if a.version or a.string:
        blocks = resources.get((16, 1))
        if not blocks:
            failures.append("no version resource")
        else:
            fixed, strings = version_info(blocks[0])
            if a.version and fixed != a.version:
                failures.append("file version %s, expected %s" % (fixed, a.version))
            for s in a.string:
                key, value = s.split("=", 1)
                if strings.get(key) != value:
                    failures.append("version string %s is %r, expected %r" % (key, strings.get(key), value))
    for r in a.resource:
        rtype, rid = r.split(":", 1)
        rtype = int(rtype) if rtype.isdigit() else rtype
        rid = int(rid) if rid.isdigit() else rid
        if (rtype, rid) not in resources:
            failures.append("no resource %s:%s" % (rtype, rid))

    if a.manifest_level is not None or a.manifest_os:
        failures += manifest_failures(resources, a.manifest_level, a.manifest_os)

    name = a.file.rsplit("/", 1)[-1]
    for f in failures:
        print("%s: %s" % (name, f))
    if not failures:
        print("%s: PE%s, module %s, %d exports, imports %s" % (
            name, "32" if pe.magic == 0x10B else "32+", module, len(by_ordinal), " ".join(imports)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
