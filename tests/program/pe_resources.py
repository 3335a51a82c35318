#!/usr/bin/env python3
"""Reads the resource directory of a PE file (32- or 64-bit), standard library only.

    pe_resources.py list EXE              type name language size, one resource a line
    pe_resources.py get EXE TYPE NAME     the resource's bytes (first language) to stdout
    pe_resources.py version EXE           file and product version of the version resource
    pe_resources.py icongroup EXE NAME    each image of an icon group: WIDTHxHEIGHT BITS
    pe_resources.py dialog EXE NAME       a dialog template, one field or control a line

Types and names are numbers (ordinals) or strings. Exit status 1 with a message when the
file is not a PE file, a resource is missing or a structure runs past its data.
"""

import struct
import sys

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION = 3, 5, 14, 16
CONTROL_CLASSES = {'#128': 'Button', '#129': 'Edit', '#130': 'Static', '#131': 'ListBox',
                   '#132': 'ScrollBar', '#133': 'ComboBox'}


class Failure(Exception):
    pass


def u16(data, offset):
    if offset + 2 > len(data):
        raise Failure('structure runs past its data')
    return struct.unpack_from('<H', data, offset)[0]


def u32(data, offset):
    if offset + 4 > len(data):
        raise Failure('structure runs past its data')
    return struct.unpack_from('<I', data, offset)[0]


class PeFile:
    def __init__(self, path):
        with open(path, 'rb') as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b'MZ':
            raise Failure(f'{path}: not an MZ executable')
        pe = u32(d, 0x3c)
        if d[pe:pe + 4] != b'PE\0\0':
            raise Failure(f'{path}: no PE signature')
        sections = u16(d, pe + 6)
        optional_size = u16(d, pe + 20)
        optional = pe + 24
        magic = u16(d, optional)
        directories = optional + (96 if magic == 0x10b else 112)
        count = u32(d, directories - 4)
        if count < 3:
            raise Failure(f'{path}: no resource directory entry')
        self.rsrc_rva = u32(d, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            s = table + 40 * i
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from('<IIII', d, s + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))
        self.resources = {}  # (type, name) -> [(language, bytes)]
        if self.rsrc_rva:
            self._walk()

    def bytes_at(self, rva, size):
        for start, length, raw, raw_size in self.sections:
            if start <= rva and rva + size <= start + length:
                offset = rva - start
                if offset + size > raw_size:
                    raise Failure('resource data past the end of its section')
                return self.data[raw + offset:raw + offset + size]
        raise Failure(f'no section holds RVA {rva:#x}')

    def _walk(self):
        base = self.rsrc_rva
        for start, length, raw, raw_size in self.sections:
            if start <= base < start + length:
                rsrc = self.data[raw:raw + raw_size]
                rsrc_start = start
                break
        else:
            raise Failure('no section holds the resource directory')
        root = base - rsrc_start

        def entries(offset):
            named, numbered = u16(rsrc, offset + 12), u16(rsrc, offset + 14)
            for i in range(named + numbered):
                e = offset + 16 + 8 * i
                name, target = u32(rsrc, e), u32(rsrc, e + 4)
                if name & 0x80000000:
                    at = root + (name & 0x7fffffff)
                    length = u16(rsrc, at)
                    key = rsrc[at + 2:at + 2 + 2 * length].decode('utf-16-le')
                else:
                    key = name
                yield key, target

        for rtype, t in entries(root):
            if not t & 0x80000000:
                raise Failure('type entry without a name level')
            for rname, n in entries(root + (t & 0x7fffffff)):
                if not n & 0x80000000:
                    raise Failure('name entry without a language level')
                for lang, leaf in entries(root + (n & 0x7fffffff)):
                    if leaf & 0x80000000:
                        raise Failure('language entry is not a data entry')
                    rva, size = u32(rsrc, root + leaf), u32(rsrc, root + leaf + 4)
                    self.resources.setdefault((rtype, rname), []).append(
                        (lang, self.bytes_at(rva, size)))

    def get(self, rtype, name):
        found = self.resources.get((rtype, name))
        if not found:
            raise Failure(f'no resource of type {rtype} named {name}')
        return found[0][1]


def key(text):
    return int(text) if text.isdigit() else text


def fixed_version(pe):
    """(file version, product version) from VS_FIXEDFILEINFO, as dotted text."""
    data = pe.get(RT_VERSION, 1)
    at = data.find(struct.pack('<I', 0xfeef04bd))
    if at < 0:
        raise Failure('version resource without VS_FIXEDFILEINFO')
    fms, fls, pms, pls = struct.unpack_from('<IIII', data, at + 8)

    def dotted(ms, ls):
        return f'{ms >> 16}.{ms & 0xffff}.{ls >> 16}.{ls & 0xffff}'
    return dotted(fms, fls), dotted(pms, pls)


def icon_group(pe, name):
    data = pe.get(RT_GROUP_ICON, name)
    count = u16(data, 4)
    images = []
    for i in range(count):
        e = 6 + 14 * i
        width, height = data[e] or 256, data[e + 1] or 256
        bits, size, icon_id = u16(data, e + 6), u32(data, e + 8), u16(data, e + 12)
        image = pe.get(RT_ICON, icon_id)
        if len(image) != size:
            raise Failure(f'icon {icon_id} holds {len(image)} bytes, its group says {size}')
        images.append(f'{width}x{height} {bits}')
    return images


def dialog_lines(pe, name):
    """The template as text: caption and style first, then one line per control."""
    d = pe.get(RT_DIALOG, name)
    pos = 0

    def sz_or_ord():
        nonlocal pos
        first = u16(d, pos)
        if first == 0xffff:
            value = u16(d, pos + 2)
            pos += 4
            return f'#{value}'
        if first == 0:
            pos += 2
            return ''
        end = pos
        while u16(d, end) != 0:
            end += 2
        text = d[pos:end].decode('utf-16-le')
        pos = end + 2
        return text

    def align():
        nonlocal pos
        pos = (pos + 3) & ~3

    extended = u16(d, 0) == 1 and u16(d, 2) == 0xffff
    if extended:
        exstyle, style = u32(d, 8), u32(d, 12)
        items = u16(d, 16)
        x, y, cx, cy = struct.unpack_from('<hhhh', d, 18)
        pos = 26
    else:
        style, exstyle = u32(d, 0), u32(d, 4)
        items = u16(d, 8)
        x, y, cx, cy = struct.unpack_from('<hhhh', d, 10)
        pos = 18
    lines = [f'style {style:#010x} exstyle {exstyle:#x}', f'size {x},{y},{cx},{cy}']
    menu, window_class = sz_or_ord(), sz_or_ord()
    lines.append(f'caption {sz_or_ord()}')
    if style & 0x40:  # DS_SETFONT
        points = u16(d, pos)
        pos += 2 + (4 if extended else 0)  # weight, italic, charset
        lines.append(f'font {points} {sz_or_ord()}')
    if menu or window_class:
        lines.append(f'menu {menu} class {window_class}')
    for _ in range(items):
        align()
        if extended:
            exstyle, style = u32(d, pos + 4), u32(d, pos + 8)
            cx_, cy_, cw, ch = struct.unpack_from('<hhhh', d, pos + 12)
            control_id = struct.unpack_from('<i', d, pos + 20)[0]
            pos += 24
        else:
            style, exstyle = u32(d, pos), u32(d, pos + 4)
            cx_, cy_, cw, ch = struct.unpack_from('<hhhh', d, pos + 8)
            control_id = struct.unpack_from('<h', d, pos + 16)[0]
            pos += 18
        control_class = sz_or_ord()
        control_class = CONTROL_CLASSES.get(control_class, control_class)
        control_class = {c.lower(): c for c in CONTROL_CLASSES.values()}.get(
            control_class.lower(), control_class)
        text = sz_or_ord()
        extra = u16(d, pos)
        pos += 2 + extra
        lines.append(f'control {control_id} {control_class} {cx_},{cy_},{cw},{ch} '
                     f'style {style:#010x} exstyle {exstyle:#x} text {text}')
    return lines


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    command, path = argv[1], argv[2]
    try:
        pe = PeFile(path)
        if command == 'list':
            def order(item):  # numbers first, in numeric order, then names
                return tuple((isinstance(k, str), str(k).zfill(5)) for k in item[0])
            for (rtype, name), found in sorted(pe.resources.items(), key=order):
                for lang, data in found:
                    print(rtype, name, lang, len(data))
        elif command == 'get' and len(argv) == 5:
            sys.stdout.buffer.write(pe.get(key(argv[3]), key(argv[4])))
        elif command == 'version':
            print(*fixed_version(pe))
        elif command == 'icongroup' and len(argv) == 4:
            print('\n'.join(icon_group(pe, key(argv[3]))))
        elif command == 'dialog' and len(argv) == 4:
            print('\n'.join(dialog_lines(pe, key(argv[3]))))
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except (Failure, OSError, struct.error, UnicodeDecodeError) as e:
        print(f'pe_resources: {e}', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
