#!/usr/bin/env python3
"""Compares brightfold's pictures with Blender's, one folder per model file.
Usage: compare.py OUT_DIR NAME...
       compare.py --centre PICTURE.png...   (the red value of each centre pixel)
Each OUT_DIR/NAME holds brightfold.png, blender.png and scene.json (or a file
named `failed` saying what went wrong). Prints a Markdown table and writes it
to OUT_DIR/report.md, with OUT_DIR/sheet.png showing each pair side by side
(brightfold left, Blender right, numbered as the table's rows).

Columns: MAD, the mean absolute difference of the 8-bit values over every
pixel and RGB channel (0 to 255); MAD on the model, the same over the pixels
where either picture shows the model (pixels that differ from the background
colour); IoU, how well the model's outlines agree (pixels where both show the
model, over those where either does); luma, the mean Rec. 709 luma of brightfold minus Blender's over the
pixels where both show the model (negative: brightfold is darker)."""
import importlib.machinery
import importlib.util
import json
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def load_contact_sheet():
    path = os.path.join(HERE, "..", "..", "scripts", "contact_sheet")
    loader = importlib.machinery.SourceFileLoader("contact_sheet", path)
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader("contact_sheet", loader))
    loader.exec_module(module)
    return module


SHEET = load_contact_sheet()
BACKGROUND_TOLERANCE = 6  # 8-bit steps: rounding and sampling noise on a plain background


def luma(p):
    return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]


def measure(ours, theirs, background):
    """MAD, outline IoU and luma difference of two pictures of the same size."""
    (w, h, rows_a), (w2, h2, rows_b) = ours, theirs
    if (w, h) != (w2, h2):
        raise ValueError(f"sizes differ: {w} x {h} and {w2} x {h2}")
    total = on_model = both = either = 0
    luma_sum = 0.0
    for ra, rb in zip(rows_a, rows_b):
        for i in range(0, 3 * w, 3):
            a, b = ra[i:i + 3], rb[i:i + 3]
            difference = sum(abs(a[k] - b[k]) for k in range(3))
            total += difference
            in_a = max(abs(a[k] - background[k]) for k in range(3)) > BACKGROUND_TOLERANCE
            in_b = max(abs(b[k] - background[k]) for k in range(3)) > BACKGROUND_TOLERANCE
            if in_a or in_b:
                either += 1
                on_model += difference
            if in_a and in_b:
                both += 1
                luma_sum += luma(a) - luma(b)
    return (total / (w * h * 3), on_model / (3 * either) if either else 0.0, both / either if either else 1.0,
            luma_sum / both if both else 0.0)


def background_of(scene_path):
    with open(scene_path, encoding="utf-8") as f:
        colour = json.load(f).get("environment", {}).get("background", [0, 0, 0])
    return [round(255 * c) for c in colour]


def row_for(folder):
    failed = os.path.join(folder, "failed")
    if os.path.exists(failed):
        with open(failed, encoding="utf-8") as f:
            return None, f.read().strip()
    try:
        ours = SHEET.read_png(os.path.join(folder, "brightfold.png"))
        theirs = SHEET.read_png(os.path.join(folder, "blender.png"))
        return measure(ours, theirs, background_of(os.path.join(folder, "scene.json"))), ""
    except (OSError, ValueError, SystemExit) as error:
        return None, str(error)


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--centre":
        pictures = [SHEET.read_png(path) for path in sys.argv[2:]]
        print(" ".join(str(rows[h // 2][3 * (w // 2)]) for w, h, rows in pictures))
        return 0
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    out, names = sys.argv[1], sys.argv[2:]
    lines = ["| # | file | MAD | MAD on the model | IoU | luma |", "|---:|---|---:|---:|---:|---:|"]
    results, pairs = [], []
    for n, name in enumerate(names, 1):
        result, problem = row_for(os.path.join(out, name))
        if result is None:
            lines.append(f"| {n} | {name} | failed: {problem} | | | |")
            continue
        results.append(result)
        lines.append("| {} | {} | {:.1f} | {:.1f} | {:.2f} | {:+.0f} |".format(n, name, *result))
        pairs.append(n)
    lines.append("")
    if results:
        medians = [statistics.median(column) for column in zip(*results)]
        lines.append(f"Median over {len(results)} of {len(names)} files: MAD {medians[0]:.1f} of 255, "
                     f"on the model {medians[1]:.1f}")
    else:
        lines.append(f"No picture of the {len(names)} files to compare")
    text = "\n".join(lines) + "\n"
    sys.stdout.write(text)
    report = os.path.join(out, "report.md")
    with open(report + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(report + ".tmp", report)

    pictures = []
    for n, name in enumerate(names, 1):
        if n in pairs:
            a = SHEET.read_png(os.path.join(out, name, "brightfold.png"))
            b = SHEET.read_png(os.path.join(out, name, "blender.png"))
            pictures.append((a[0] * 2 + 2, a[1], [ra + b"\x40\x40\x40" * 2 + rb for ra, rb in zip(a[2], b[2])]))
    if pictures:
        SHEET.write_sheet(os.path.join(out, "sheet.png"), 4, pictures, pairs)
    return 0 if len(results) == len(names) else 1


if __name__ == "__main__":
    sys.exit(main())
