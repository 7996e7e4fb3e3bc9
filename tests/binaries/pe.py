"""The shipped modules as the checks read them: machine, exports, imports, the
resource directory and the version information come from Debian's pefile; the
resource kinds that pefile leaves as raw bytes (dialog templates, bitmaps,
accelerator tables) are decoded here."""
import struct

import pefile

RT_BITMAP, RT_DIALOG, RT_ACCELERATOR = 2, 5, 9

MACHINES = {0x14C: "i686", 0x8664: "x86_64"}


class PEError(Exception):
    pass


class Module:
    def __init__(self, path):
        self.path = path
        try:
            self.pe = pefile.PE(path)
        except pefile.PEFormatError as error:
            raise PEError(f"{path}: {error}")
        self.machine = self.pe.FILE_HEADER.Machine
        self.pointer_size = 8 if self.pe.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else 4

    @property
    def architecture(self):
        return MACHINES.get(self.machine, f"machine {self.machine:#x}")

    def exports(self):
        """Exported names (ordinal-only exports have none)."""
        directory = getattr(self.pe, "DIRECTORY_ENTRY_EXPORT", None)
        return [s.name.decode("latin-1") for s in directory.symbols if s.name] if directory else []

    def imports(self):
        """{DLL name as written: [imported name, or '#ordinal']}."""
        return {entry.dll.decode("latin-1"): [i.name.decode("latin-1") if i.name else f"#{i.ordinal}"
                                              for i in entry.imports]
                for entry in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])}

    def delay_imports(self):
        """The DLLs named by the delay-load directory (loaded at the first call, not by the loader)."""
        return [entry.dll.decode("latin-1") for entry in getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]

    def resources(self):
        """{(type, name): {language: bytes}}; type and name are ints or upper-case strings."""
        def key(entry):
            return str(entry.name).upper() if entry.name is not None else entry.id

        result = {}
        root = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        for rtype in root.entries if root else []:
            for name in rtype.directory.entries:
                for lang in name.directory.entries:
                    data = lang.data.struct
                    result.setdefault((key(rtype), key(name)), {})[lang.id] = \
                        self.pe.get_data(data.OffsetToData, data.Size)
        return result

    def version(self):
        """(fixed file info dict, {table key: {name: value}}, [translation pairs]), or None."""
        if not getattr(self.pe, "VS_FIXEDFILEINFO", None):
            return None
        f = self.pe.VS_FIXEDFILEINFO[0]
        def quad(ms, ls):
            return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF
        fixed = dict(signature=f.Signature, file_version=quad(f.FileVersionMS, f.FileVersionLS),
                     product_version=quad(f.ProductVersionMS, f.ProductVersionLS), file_os=f.FileOS,
                     file_type=f.FileType, file_subtype=f.FileSubtype)
        strings, translations = {}, []
        for info in (i for group in self.pe.FileInfo for i in group):
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    strings.setdefault(table.LangID.decode("latin-1").upper(), {}).update(
                        {k.decode("latin-1"): v.decode("latin-1") for k, v in table.entries.items()})
            elif info.Key == b"VarFileInfo":
                for var in info.Var:
                    for pair in filter(None, var.entry.get(b"Translation", "").split(",")):
                        lang, codepage = pair.split()
                        translations.append((int(lang, 16), int(codepage, 16)))
        return fixed, strings, translations


# ---- resource decoders ------------------------------------------------------
# pefile hands these resources over as bytes; nothing in Debian decodes them.

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
