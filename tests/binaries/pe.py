"""A small reader of Windows PE modules (PE32 and PE32+): machine, exports,
imports and the resource directory, with decoders for the resource kinds that
derar.dll carries (dialog templates, bitmaps, accelerator tables, version).
Standard library only, so the check runs wherever the build runs."""
import struct

RT_BITMAP, RT_DIALOG, RT_ACCELERATOR, RT_VERSION = 2, 5, 9, 16

MACHINES = {0x14C: "i686", 0x8664: "x86_64"}


class PEError(Exception):
    pass


class Module:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PEError(f"{path}: no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise PEError(f"{path}: no PE signature")
        self.machine, nsections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        if magic == 0x10B:
            self.pointer_size, dirs = 4, opt + 96
        elif magic == 0x20B:
            self.pointer_size, dirs = 8, opt + 112
        else:
            raise PEError(f"{path}: unknown optional header magic {magic:#x}")
        ndirs = struct.unpack_from("<I", d, dirs - 4)[0]
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(min(ndirs, 16))]
        self.sections = []
        for i in range(nsections):
            s = opt + opt_size + 40 * i
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", d, s + 8)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr, rawsize))

    @property
    def architecture(self):
        return MACHINES.get(self.machine, f"machine {self.machine:#x}")

    def offset(self, rva):
        for vaddr, size, rawptr, rawsize in self.sections:
            if vaddr <= rva < vaddr + size:
                if rva - vaddr >= rawsize:
                    raise PEError(f"{self.path}: RVA {rva:#x} lies in uninitialised data")
                return rawptr + rva - vaddr
        raise PEError(f"{self.path}: RVA {rva:#x} is in no section")

    def cstring(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("latin-1")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def exports(self):
        """Exported names (ordinal-only exports have none)."""
        rva, _ = self.directory(0)
        if not rva:
            return []
        directory = self.offset(rva)
        nnames = struct.unpack_from("<I", self.data, directory + 24)[0]
        names = self.offset(struct.unpack_from("<I", self.data, directory + 32)[0])
        return [self.cstring(struct.unpack_from("<I", self.data, names + 4 * i)[0]) for i in range(nnames)]

    def imports(self):
        """{DLL name as written: [imported name, or '#ordinal']}."""
        rva, _ = self.directory(1)
        result = {}
        if not rva:
            return result
        desc = self.offset(rva)
        by_ordinal = 1 << (8 * self.pointer_size - 1)
        fmt = "<Q" if self.pointer_size == 8 else "<I"
        while True:
            lookup, _, _, name_rva, thunks = struct.unpack_from("<IIIII", self.data, desc)
            if not name_rva:
                break
            names = []
            pos = self.offset(lookup or thunks)
            while True:
                entry = struct.unpack_from(fmt, self.data, pos)[0]
                if not entry:
                    break
                if entry & by_ordinal:
                    names.append(f"#{entry & 0xFFFF}")
                else:
                    names.append(self.cstring((entry & 0x7FFFFFFF) + 2))   # skip the hint
                pos += self.pointer_size
            result[self.cstring(name_rva)] = names
            desc += 20
        return result

    def resources(self):
        """{(type, name): {language: bytes}}; type and name are ints or upper-case strings."""
        rva, _ = self.directory(2)
        result = {}
        if not rva:
            return result
        base = self.offset(rva)
        d = self.data

        def entries(table):
            named, numbered = struct.unpack_from("<HH", d, base + table + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", d, base + table + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", d, at)[0]
                    key = d[at + 2:at + 2 + 2 * length].decode("utf-16-le").upper()
                yield key, target

        for rtype, t in entries(0):
            for name, n in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", d, base + leaf)
                    start = self.offset(data_rva)
                    result.setdefault((rtype, name), {})[lang] = d[start:start + size]
        return result


# ---- resource decoders ------------------------------------------------------

class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n):
        self.pos = (self.pos + n - 1) // n * n

    def wstring(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            if end + 2 > len(self.data):
                raise PEError("a text runs past the end of its resource")
            end += 2
        text = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        """A dialog field that is either empty, an ordinal (0xFFFF, n) or a text."""
        first = struct.unpack_from("<H", self.data, self.pos)[0]
        if first == 0xFFFF:
            self.pos += 2
            return self.take("H")
        return self.wstring()


# The predefined window classes, which templates name by ordinal.
CLASS_ORDINALS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
                  0x84: "ScrollBar", 0x85: "ComboBox"}


def dialog(data):
    """Decodes a DLGTEMPLATE or DLGTEMPLATEEX into a dict with a 'controls' list."""
    r = Reader(data)
    extended = struct.unpack_from("<HH", data, 0) == (1, 0xFFFF)
    if extended:
        _, _, _, exstyle, style = r.take("HHIII")
    else:
        style, exstyle = r.take("II")
    count, x, y, cx, cy = r.take("Hhhhh")
    result = dict(extended=extended, style=style, exstyle=exstyle, x=x, y=y, cx=cx, cy=cy,
                  menu=r.sz_or_ord(), window_class=r.sz_or_ord(), caption=r.wstring(),
                  font=None, controls=[])
    if style & 0x40:   # DS_SETFONT
        size = r.take("H")
        if extended:
            r.take("HBB")   # weight, italic, charset
        result["font"] = (size, r.wstring())
    for _ in range(count):
        r.align(4)
        if extended:
            _, exstyle, style, x, y, cx, cy, cid = r.take("IIIhhhhI")
        else:
            style, exstyle, x, y, cx, cy, cid = r.take("IIhhhhH")
        cls = r.sz_or_ord()
        if isinstance(cls, int):
            cls = CLASS_ORDINALS.get(cls, f"#{cls:#x}")
        text = r.sz_or_ord()
        extra = r.take("H")
        r.pos += extra
        result["controls"].append(dict(id=cid, window_class=cls, text=text, style=style,
                                       exstyle=exstyle, rect=(x, y, cx, cy)))
    return result


def bitmap(data):
    """A bitmap resource (BITMAPINFOHEADER, colour table, bits) as a dict; 'pixels'
    holds palette indices, top row first, for 4-bit uncompressed pictures."""
    (size, width, height, planes, bpp, compression, _, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", data, 0)
    colours = used or (1 << bpp if bpp <= 8 else 0)
    palette = [(data[size + 4 * i + 2], data[size + 4 * i + 1], data[size + 4 * i])   # stored B, G, R
               for i in range(colours)]
    result = dict(width=width, height=height, planes=planes, bpp=bpp, compression=compression,
                  palette=palette, pixels=None)
    if bpp == 4 and compression == 0:
        stride = ((abs(width) * 4 + 31) // 32) * 4
        bits = size + 4 * colours
        if len(data) < bits + stride * abs(height):
            raise PEError("bitmap bits are truncated")
        rows = []
        for row in range(abs(height)):
            line = data[bits + row * stride:bits + (row + 1) * stride]
            rows.append([(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 0xF for x in range(width)])
        if height > 0:
            rows.reverse()   # bottom-up
        result["pixels"] = rows
    return result


def accelerators(data):
    """[(flags, key, command)] of an accelerator table, in order."""
    return [struct.unpack_from("<HHH", data, i) for i in range(0, len(data) - 7, 8)]


def version(data):
    """(fixed file info dict, {table key: {name: value}}, [translation pairs])."""
    def block(pos):
        r = Reader(data, pos)
        length, value_length, kind = r.take("HHH")
        key = r.wstring()
        r.align(4)
        return length, value_length, kind, key, r.pos

    length, value_length, _, key, pos = block(0)
    if key != "VS_VERSION_INFO":
        raise PEError(f"version block key is {key!r}")
    fields = struct.unpack_from("<13I", data, pos)
    fixed = dict(signature=fields[0], file_version=(fields[2] >> 16, fields[2] & 0xFFFF, fields[3] >> 16,
                 fields[3] & 0xFFFF), product_version=(fields[4] >> 16, fields[4] & 0xFFFF, fields[5] >> 16,
                 fields[5] & 0xFFFF), file_os=fields[8], file_type=fields[9], file_subtype=fields[10])
    strings, translations = {}, []
    child = (pos + value_length + 3) // 4 * 4
    while child < length:
        clen, _, _, ckey, cpos = block(child)
        end = child + clen
        if ckey == "StringFileInfo":
            table = cpos
            while table < end:
                tlen, _, _, tkey, spos = block(table)
                entries = strings.setdefault(tkey.upper(), {})
                while spos < table + tlen:
                    slen, svlen, _, skey, vpos = block(spos)
                    text = data[vpos:vpos + 2 * svlen].decode("utf-16-le") if svlen else ""
                    entries[skey] = text.split("\0", 1)[0]
                    spos = (spos + slen + 3) // 4 * 4
                table = (table + tlen + 3) // 4 * 4
        elif ckey == "VarFileInfo":
            var = cpos
            while var < end:
                vlen, vvlen, _, vkey, vpos = block(var)
                if vkey == "Translation":
                    translations += [struct.unpack_from("<HH", data, vpos + 4 * i) for i in range(vvlen // 4)]
                var = (var + vlen + 3) // 4 * 4
        child = (end + 3) // 4 * 4
    return fixed, strings, translations
