#!/usr/bin/env python3
"""The stream arithmetic of bench/compare.py on job bytes as the module sends them."""

import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
import compare  # noqa: E402


def pcx(lines, bytes_per_line):
    header = bytearray(128)
    header[0:4] = b"\x0a\x05\x01\x01"
    header[66:68] = bytes_per_line.to_bytes(2, "little")
    return bytes(header) + bytes(lines)


# A stored graphic whose file holds LF bytes, which must not split it into lines.
LOGO = pcx([0x0A, 0xC2, 0xFF, 0x0A], 4)
JOB = (b"\nN\n\r\nQ254,25\n\r\n"
       + b'GK"QZLOGO"\r\n' + b'GM"QZLOGO"%d\r\n' % len(LOGO) + LOGO + b"\r\n\r\n"
       + b'FK"TAG"\n\r\nFS"TAG"\n\r\nGG203,16,"QZLOGO"\r\nLO1,2,3,4\n\r\nFE\n\r\n'
       + b'FR"TAG"\n\r\nA1,2,0,3,1,1,N,"AT-1"\n\r\nP1\n\r\n'
       + b'FR"TAG"\n\r\nA1,2,0,3,1,1,N,"AT-22"\n\r\nB1,3,0,1,2,4,81,N,"AT-22"\n\r\nP1\n\r\n'
       + b'FK"TAG"\n\r\n')


class StreamArithmetic(unittest.TestCase):
    def test_breakdown_puts_every_byte_in_one_part(self):
        parts = compare.breakdown(JOB)
        self.assertEqual(sum(parts.values()), len(JOB))
        rows = [
            (1, "header", len(b"\nN\n\r\nQ254,25\n\r\n")),
            (2, "graphic", len(b'GK"QZLOGO"\r\nGM"QZLOGO"%d\r\n' % len(LOGO)) + len(LOGO) + 4),
            (3, "form", len(b'FK"TAG"\n\r\nFS"TAG"\n\r\nGG203,16,"QZLOGO"\r\n'
                            b'LO1,2,3,4\n\r\nFE\n\r\n')),
        ]
        for number, part, expected in rows:
            with self.subTest(row=number):
                self.assertEqual(parts[part], expected)

    def test_record_parts_are_those_of_the_second_record(self):
        parts = compare.record_parts(JOB)
        self.assertEqual(parts, {
            "recall": len(b'FR"TAG"\n\r\n'),
            "objects": len(b'A1,2,0,3,1,1,N,"AT-22"\n\r\nB1,3,0,1,2,4,81,N,"AT-22"\n\r\n'),
            "print": len(b"P1\n\r\n"),
        })

    def test_lines_keep_every_byte(self):
        rows = [
            # 1: a whole job
            JOB,
            # 2: a stored file cut short by the end of the stream
            b'GM"QZX"500\r\n\x0a\x05\x01',
            # 3: no line end at all
            b"P1",
            # 4: a size that is not a number is an ordinary line
            b'GM"QZX"abc\r\nP1\n',
        ]
        for number, stream in enumerate(rows, 1):
            with self.subTest(row=number):
                self.assertEqual(b"".join(compare.lines_of(stream)), stream)

    def test_a_job_without_graphics(self):
        job = b'\nN\n\r\nFK"P"\n\r\nFS"P"\n\r\nLO1,2,3,4\n\r\nFE\n\r\nFR"P"\n\r\nP1\n\r\n'
        parts = compare.breakdown(job)
        self.assertEqual(parts["graphic"], 0)
        self.assertEqual(parts["header"], len(b"\nN\n\r\n"))
        self.assertEqual(parts["print"], len(b'FR"P"\n\r\nP1\n\r\n'))

    def test_record_parts_need_two_records(self):
        one_record = JOB[:JOB.index(b'FR"TAG"\n\r\nA1,2,0,3,1,1,N,"AT-22"')]
        with self.assertRaises(SystemExit):
            compare.record_parts(one_record)

    def test_variable_fields_one_per_object(self):
        label = {"objects": [
            {"type": "text", "text": "FIXED"},
            {"type": "text", "text": {"field": "id"}},
            {"type": "barcode", "data": {"field": "id"}},
            {"type": "line", "length": 100},
            {"type": "text", "text": {"field": "where", "required": False}},
        ]}
        self.assertEqual(compare.variable_fields(label), ["id", "id", "where"])

    def test_stored_files_come_out_whole(self):
        self.assertEqual(compare.stored_pcx_files(JOB), [LOGO])

    def test_shortest_rle(self):
        rows = [
            # 1: bytes below 0xC0 stand alone, one byte each
            (pcx([0x01, 0x02, 0x03, 0x04], 4), 4),
            # 2: a run of four costs two bytes however it was coded
            (pcx([0xC1, 0x00, 0xC3, 0x00], 4), 2),
            # 3: a lone byte that would read as a count needs its count byte
            (pcx([0xC1, 0xC5, 0x01, 0x02, 0x03], 4), 5),
            # 4: runs stop at the end of a scan line
            (pcx([0xC8, 0xFF], 4), 4),
            # 5: a run longer than 63 takes two count bytes
            (pcx([0xFF, 0xAA, 0xC2, 0xAA], 65), 4),
        ]
        for number, (file, expected) in enumerate(rows, 1):
            with self.subTest(row=number):
                self.assertEqual(compare.shortest_rle(file), expected)

    def test_lengths_in_units(self):
        rows = [("4in", 4000), ("25.4mm", 1000), ("72pt", 1000), (1250, 1250), ("10mil", 10)]
        for number, (length, expected) in enumerate(rows, 1):
            with self.subTest(row=number):
                self.assertAlmostEqual(compare.thousandths(length), expected)

    def test_page_sizes(self):
        ppd = '*PageSize w288h432/4.00x6.00": ""\n*PageSize w162h90/2.25x1.25": ""\n'
        rows = [(4, 6, "w288h432"), (2.25, 1.25, "w162h90"), (3, 2, "Custom.3x2in"),
                (1.1, 1, "Custom.1.1x1in")]
        for number, (w, h, expected) in enumerate(rows, 1):
            with self.subTest(row=number):
                self.assertEqual(compare.page_size(ppd, w, h), expected)


if __name__ == "__main__":
    unittest.main()
