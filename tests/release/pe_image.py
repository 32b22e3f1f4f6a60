"""Just enough of the PE format to check a built exe: headers, import tables,
delay-load descriptors and the version resource."""

import struct

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
PE32 = 0x10B
PE32_PLUS = 0x20B
SUBSYSTEM_WINDOWS_GUI = 2

FILE_RELOCS_STRIPPED = 0x0001
FILE_EXECUTABLE_IMAGE = 0x0002
FILE_DLL = 0x2000

DLL_HIGH_ENTROPY_VA = 0x0020
DLL_DYNAMIC_BASE = 0x0040
DLL_NX_COMPAT = 0x0100

DIR_IMPORT = 1
DIR_RESOURCE = 2
DIR_SECURITY = 4
DIR_BASERELOC = 5
DIR_DEBUG = 6
DIR_DELAY_IMPORT = 13

RT_VERSION = 16

SCN_CNT_CODE = 0x00000020
SCN_MEM_EXECUTE = 0x20000000


class PEError(ValueError):
    pass


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PEError("no MZ header")
        pe_offset = self._u32(0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        coff = pe_offset + 4
        (self.machine, sections, self.timestamp, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        opt = coff + 20
        self.magic = self._u16(opt)
        if self.magic == PE32:
            self.image_base = self._u32(opt + 28)
            tail = opt + 68
        elif self.magic == PE32_PLUS:
            self.image_base = struct.unpack_from("<Q", data, opt + 24)[0]
            tail = opt + 68
        else:
            raise PEError("unknown optional header magic %#x" % self.magic)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, tail)
        dirs_at = opt + (96 if self.magic == PE32 else 112)
        count = self._u32(dirs_at - 4)
        self.directories = [struct.unpack_from("<II", data, dirs_at + 8 * i) for i in range(count)]
        self.sections = []
        self.section_characteristics = []
        table = opt + optional_size
        for i in range(sections):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((name, va, max(vsize, raw_size), raw_ptr, raw_size))
            self.section_characteristics.append(self._u32(at + 36))

    @classmethod
    def load(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    @property
    def is_64bit(self):
        return self.magic == PE32_PLUS

    def _u16(self, at):
        return struct.unpack_from("<H", self.data, at)[0]

    def _u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0]

    def offset(self, rva):
        """File offset of an RVA, or None when no section holds it."""
        for _, va, size, raw_ptr, raw_size in self.sections:
            if va <= rva < va + size:
                if rva - va >= raw_size:
                    return None  # uninitialised data
                return raw_ptr + rva - va
        return None

    def cstring(self, rva, limit=512):
        at = self.offset(rva)
        if at is None:
            return None
        end = self.data.find(b"\0", at, at + limit)
        if end < 0:
            return None
        return self.data[at:end]

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def _thunk_names(self, rva):
        """Names (or "#ordinal") listed by an import name table."""
        width = 8 if self.is_64bit else 4
        ordinal_flag = 1 << (width * 8 - 1)
        names = []
        at = self.offset(rva)
        while at is not None:
            value = int.from_bytes(self.data[at:at + width], "little")
            if value == 0:
                break
            if value & ordinal_flag:
                names.append("#%d" % (value & 0xFFFF))
            else:
                name = self.cstring((value & 0x7FFFFFFF) + 2)
                if name is None:
                    raise PEError("bad hint/name entry")
                names.append(name.decode("ascii"))
            at += width
        return names

    def imports(self):
        """Static imports: {dll name (as written): [function names]}."""
        rva, size = self.directory(DIR_IMPORT)
        result = {}
        at = self.offset(rva) if rva else None
        while at is not None:
            lookup, _, _, name_rva, iat = struct.unpack_from("<IIIII", self.data, at)
            if name_rva == 0:
                break
            dll = self.cstring(name_rva).decode("ascii")
            result[dll] = self._thunk_names(lookup or iat)
            at += 20
        return result

    def delay_imports(self):
        """Delay-load imports: {dll name: [function names]}."""
        return {dll: [name for name, _ in slots] for dll, slots in self.delay_slots().items()}

    def delay_slots(self):
        """Delay-load imports with their address-table slots as the file holds
        them: {dll name: [(function name, slot value)]}. Before the first call a
        slot holds the virtual address of the code that loads the DLL.

        GNU ld lays the descriptors out but leaves the data directory entry
        empty, so when it is empty the image is searched for them, as the
        loader's helper is handed them: 32-byte records with the RVA attribute
        set whose name, module handle, address table and name table all point
        into the image."""
        rva, size = self.directory(DIR_DELAY_IMPORT)
        if rva:
            candidates = [self.offset(rva) + 32 * i for i in range(size // 32)]
        else:
            candidates = [at for _, _, _, raw_ptr, raw_size in self.sections
                          for at in range(raw_ptr, raw_ptr + raw_size - 32, 4)
                          if self._u32(at) == 1]
        result = {}
        for at in candidates:
            attrs, name_rva, hmod, iat, int_rva = struct.unpack_from("<IIIII", self.data, at)
            if attrs != 1 or not all(self.offset(r) is not None for r in (name_rva, iat, int_rva)):
                continue
            if not any(va <= hmod < va + size for _, va, size, _, _ in self.sections):
                continue
            name = self.cstring(name_rva, 64)
            if not name or not name.lower().endswith(b".dll"):
                continue
            try:
                names = self._thunk_names(int_rva)
            except (PEError, UnicodeDecodeError, struct.error):
                continue
            width = 8 if self.is_64bit else 4
            table = self.offset(iat)
            slots = [int.from_bytes(self.data[table + width * i:table + width * (i + 1)], "little")
                     for i in range(len(names))]
            result[name.decode("ascii")] = list(zip(names, slots))
        return result

    def is_code_address(self, va):
        """Whether a virtual address lies in an executable code section of the image."""
        rva = va - self.image_base
        for (_, section_va, size, _, _), flags in zip(self.sections, self.section_characteristics):
            if section_va <= rva < section_va + size:
                return bool(flags & SCN_CNT_CODE and flags & SCN_MEM_EXECUTE)
        return False

    def _resource_entries(self, base, at):
        named, ids = struct.unpack_from("<HH", self.data, at + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            yield ident, target

    def resources(self, type_id):
        """Raw bytes of every resource of a numeric type."""
        rva, _ = self.directory(DIR_RESOURCE)
        if not rva:
            return []
        base = self.offset(rva)
        found = []

        def walk(at, depth):
            for ident, target in self._resource_entries(base, at):
                if depth == 0 and ident != type_id:
                    continue
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), depth + 1)
                else:
                    data_rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(data_rva)
                    found.append(self.data[start:start + size])

        walk(base, 0)
        return found

    def version_info(self):
        """(fixed file version, product version, {string name: value}) or None."""
        blobs = self.resources(RT_VERSION)
        if not blobs:
            return None
        root = _version_block(blobs[0], 0)
        if root["key"] != "VS_VERSION_INFO":
            raise PEError("unexpected version root %r" % root["key"])
        fixed = root["value"]
        signature, _, fv_ms, fv_ls, pv_ms, pv_ls = struct.unpack_from("<6I", fixed)
        if signature != 0xFEEF04BD:
            raise PEError("bad VS_FIXEDFILEINFO signature")
        strings = {}
        for child in root["children"]:
            if child["key"] == "StringFileInfo":
                for table in child["children"]:
                    for entry in table["children"]:
                        strings[entry["key"]] = entry["value"].decode("utf-16-le").rstrip("\0")
        return (_four(fv_ms, fv_ls), _four(pv_ms, pv_ls), strings)


def _four(ms, ls):
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def _align4(n):
    return (n + 3) & ~3


def _version_block(blob, at):
    length, value_length, kind = struct.unpack_from("<HHH", blob, at)
    end = at + length
    key_at = at + 6
    key_end = key_at
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[key_at:key_end].decode("utf-16-le")
    value_at = _align4(key_end + 2)
    value_bytes = value_length * 2 if kind == 1 else value_length  # text counts WCHARs
    value = blob[value_at:value_at + value_bytes]
    child = _align4(value_at + value_bytes)
    children = []
    while child < end:
        block = _version_block(blob, child)
        children.append(block)
        child = _align4(child + block["length"])
    return {"key": key, "value": value, "children": children, "length": length}
