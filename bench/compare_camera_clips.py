#!/usr/bin/python3
"""The automatic analysis on camera-like clips: against the best single box, and against
FFmpeg's denoisers.

Usage (from the repository root; prints a Markdown table, progress goes to stderr):

    nice -n 10 /usr/bin/python3 bench/compare_camera_clips.py [--out /tmp/camera-compare]
        [--kinds camera,grain,...] [--size 384x256] [--large 640x360:camera,grain]
        [--seed 1] [--frames 5] [--gl auto] [--json results.json]
    /usr/bin/python3 bench/compare_camera_clips.py --from-json results.json   # reprint

Needs Debian's /usr/bin/python3 (numpy), the `ffmpeg` command, and the built
`build/make_camera_clip` and `build/ruvovav` (with `Ruvovav.kspl` beside it). Nothing is
downloaded; clips and outputs go under --out (default /tmp/camera-compare).

For each clip kind (made by `make_camera_clip`: clean and noisy frames, 16-bit FFV1) it
measures, on the middle frame, the PSNR over R, G and B (peak 1, float frames) against the
clean frame of:
  - the noisy input;
  - `ruvovav denoise --frames 1` with the automatic analysis as a user would run it
    (analysing frame 0, the default), and again analysing the middle frame
    (`--analyze-frame`); the boxes it prints and any warning are kept, and each box is
    checked for flatness on the clean frame it measured (the test of the next item);
  - the best single box: `--frames 1 --box X,Y,W,H --analyze-frame MID` for every candidate
    box whose clean middle frame is flat (64x64 on a 32-pixel grid, plus 128x128 on a
    64-pixel grid when the short side is at least 256, each grid with a last row and column
    on the far edges; flat as in footage/camera_clip.cpp: every per-pixel step in every
    channel at most 0.02 and luma RMS about its best-fitting plane at most 0.01);
  - `ruvovav denoise` with its defaults for a clip (4 frames, motion tracking, analysis of
    frame 0), for information;
  - FFmpeg's bm3d (sigma), nlmeans (s) and vaguedenoiser (threshold, for each method and
    percent 85 and 100), each at its best setting by PSNR, found by a hill climb over a
    wide grid from a start near the noise's level (as bench/compare_denoisers.py does).
    They are spatial, so they get the middle frame only, converted here to YUV 4:4:4
    (BT.709, full range): 16 bits for bm3d and vaguedenoiser, 8 bits for nlmeans (the only
    depth it takes), and back to RGB the same way.
Every ruvovav render of the scored frame uses `--range MID:MID+1` (its neighbours are still
read), except the user-like automatic run, which renders the whole clip as typed.
"""

import argparse
import json
import os
import platform
import re
import shlex
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

REPO = Path(__file__).resolve().parent.parent

# name -> make_camera_clip flags (size, frames and seed are added per run)
KINDS = {
    "camera": ["--noise", "camera", "--motion", "still"],
    "camera-h264-pan": ["--noise", "camera", "--motion", "pan", "--crf", "23"],
    "camera-h264-35": ["--noise", "camera", "--motion", "still", "--crf", "35"],
    "grain": ["--noise", "grain", "--motion", "still"],
    "grain-h264-pan": ["--noise", "grain", "--motion", "pan", "--crf", "23"],
    "low-light": ["--noise", "camera", "--motion", "still", "--strength", "2"],
}

KR, KB = 0.2126, 0.0722
KG = 1.0 - KR - KB

# Flatness bounds of footage/camera_clip.cpp's isFlat.
MAX_STEP = 0.02
MAX_RESIDUAL = 0.01


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def run(cmd, **kw):
    return subprocess.run([str(c) for c in cmd], capture_output=True, text=True, **kw)


# --------------------------------------------------------------------------------------
# Frames


def read_rgb(path, width, height):
    """Every frame of a video as float RGB in 0..1, read at 16 bits."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "rawvideo",
                          "-pix_fmt", "rgb48le", "-"], check=True, capture_output=True).stdout
    a = np.frombuffer(raw, dtype="<u2").reshape(-1, height, width, 3)
    return a.astype(np.float64) / 65535.0


def psnr(a, b):
    mse = np.mean((a - b) ** 2)
    return float("inf") if mse == 0 else float(10.0 * np.log10(1.0 / mse))


def rgb_to_yuv(rgb, depth):
    top = (1 << depth) - 1
    y = KR * rgb[..., 0] + KG * rgb[..., 1] + KB * rgb[..., 2]
    cb = (rgb[..., 2] - y) / (2 * (1 - KB))
    cr = (rgb[..., 0] - y) / (2 * (1 - KR))
    half = 1 << (depth - 1)
    planes = np.stack([y * top, cb * top + half, cr * top + half])
    return np.clip(np.rint(planes), 0, top).astype("<u2" if depth > 8 else np.uint8)


def yuv_to_rgb(yuv, depth):
    top = (1 << depth) - 1
    half = 1 << (depth - 1)
    y = yuv[0].astype(np.float64) / top
    cb = (yuv[1].astype(np.float64) - half) / top
    cr = (yuv[2].astype(np.float64) - half) / top
    r = y + 2 * (1 - KR) * cr
    b = y + 2 * (1 - KB) * cb
    g = (y - KR * r - KB * b) / KG
    return np.clip(np.stack([r, g, b], axis=2), 0.0, 1.0)


def write_y4m(path, frame, depth):
    h, w = frame.shape[:2]
    tag = "C444p16" if depth > 8 else "C444"
    with open(path, "wb") as out:
        out.write(f"YUV4MPEG2 W{w} H{h} F25:1 Ip A1:1 {tag} XCOLORRANGE=FULL\n".encode())
        out.write(b"FRAME\n")
        out.write(rgb_to_yuv(frame, depth).tobytes())


# --------------------------------------------------------------------------------------
# Candidate boxes


def grid(extent, side, step):
    pos = list(range(0, extent - side + 1, step))
    if pos and pos[-1] != extent - side:
        pos.append(extent - side)
    return pos


def candidate_boxes(width, height):
    sides = [(64, 32)] + ([(128, 64)] if min(width, height) >= 256 else [])
    return [(x, y, s, s) for s, step in sides
            for y in grid(height, s, step) for x in grid(width, s, step)]


def is_flat(clean, box):
    x, y, w, h = box
    p = clean[y:y + h, x:x + w]
    if np.abs(np.diff(p, axis=1)).max() > MAX_STEP or np.abs(np.diff(p, axis=0)).max() > MAX_STEP:
        return False
    lum = KR * p[..., 0] + KG * p[..., 1] + KB * p[..., 2]
    yy, xx = np.mgrid[0:h, 0:w]
    xx = xx - (w - 1) / 2.0
    yy = yy - (h - 1) / 2.0
    # Centred coordinates on a grid are orthogonal to each other and to the constant.
    r = lum - lum.mean() - xx * (lum * xx).sum() / (xx * xx).sum() - yy * (lum * yy).sum() / (yy * yy).sum()
    return float(np.sqrt(np.mean(r * r))) <= MAX_RESIDUAL


# --------------------------------------------------------------------------------------
# ruvovav


class Ours:
    def __init__(self, exe, gl, clip, mid):
        self.exe, self.gl, self.clip, self.mid = exe, gl, clip, mid

    def render(self, dst, args, whole=False):
        """Runs one denoise; returns (middle frame or None, stdout + stderr, command)."""
        rng = [] if whole else ["--range", f"{self.mid}:{self.mid + 1}"]
        cmd = [self.exe, "denoise", self.clip["noisy"], "-o", dst, "-y"] + rng + args + self.gl
        p = run(cmd)
        text = p.stdout + p.stderr
        if p.returncode != 0 or not Path(dst).exists():
            return None, text, cmd
        got = read_rgb(dst, self.clip["w"], self.clip["h"])
        Path(dst).unlink()
        return got[self.mid if whole else 0], text, cmd


def box_lines(text):
    return [l.strip() for l in text.splitlines()
            if l.startswith(("analysis box", "brightness box")) or "warning" in l.lower()]


def over_texture(lines, clean):
    """The boxes the analysis printed that are not flat on the clean frame it measured."""
    boxes = [tuple(map(int, m.groups())) for l in lines if l.endswith(")")
             for m in [re.search(r"box:\s+(\d+),(\d+),(\d+),(\d+)", l)] if m]
    return [",".join(map(str, b)) for b in boxes if not is_flat(clean, b)]


# --------------------------------------------------------------------------------------
# FFmpeg


def ffmpeg_filter(y4m, depth, vf, w, h):
    fmt = "yuv444p16le" if depth > 8 else "yuv444p"
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", str(y4m), "-vf", vf, "-frames:v", "1",
                          "-f", "rawvideo", "-pix_fmt", fmt, "-"],
                         check=True, capture_output=True).stdout
    a = np.frombuffer(out, dtype="<u2" if depth > 8 else np.uint8).reshape(3, h, w)
    return yuv_to_rgb(a, depth)


def filter_lines(name, sigma8):
    """(depth, [(label, filter string)], start index) per line of settings, weakest first.
    sigma8: the noise's RMS in 8-bit units, to start each climb near it."""

    def near(vals, factor):
        return min(range(len(vals)), key=lambda i: abs(vals[i] - sigma8 * factor))

    if name == "bm3d":
        # Basic estimate, the filter's default; its best sigma came out near 2.5 times the
        # noise's in bench/compare_denoisers.py.
        vals = [2, 3, 4, 5, 7, 10, 13, 16, 20, 25, 30, 40, 50, 60, 80, 100, 130]
        return [(16, [(f"σ={v}", f"bm3d=sigma={v}") for v in vals], near(vals, 2.5))]
    if name == "nlmeans":
        vals = [0.5, 1, 1.5, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 25, 30]
        return [(8, [(f"s={v}", f"nlmeans=s={v}") for v in vals], near(vals, 1.0))]
    if name == "vaguedenoiser":
        vals = [0.5, 1, 1.5, 2, 3, 4, 6, 8, 10, 12, 16, 20, 24, 32, 48, 64]
        return [(16, [(f"{m} {v}{'' if pc == 85 else f' {pc}%'}",
                       f"vaguedenoiser=threshold={v}:method={m}:percent={pc}") for v in vals],
                 near(vals, 1.0))
                for m in ("garrote", "soft", "hard") for pc in (85, 100)]
    raise ValueError(name)


def climb(settings, start, score):
    """Hill climb along one line of settings: from start, step towards the better neighbour
    while PSNR rises. Returns {index: psnr} of what was tried."""
    tried = {}

    def at(i):
        if i not in tried:
            tried[i] = score(i)
        return tried[i]

    cur = at(start)
    for step in (1, -1):
        j = start
        while 0 <= j + step < len(settings):
            nxt = at(j + step)
            if nxt <= cur:
                break
            j, cur = j + step, nxt
        if j != start:
            break  # climbed one way; the other side is worse
    return tried


def best_filter(name, noisy_mid, clean_mid, workdir, w, h, sigma8):
    best = None
    for depth, settings, start in filter_lines(name, sigma8):
        y4m = workdir / f"mid_{depth}.y4m"
        if not y4m.exists():
            write_y4m(y4m, noisy_mid, depth)

        def score(i):
            label, vf = settings[i]
            p = psnr(ffmpeg_filter(y4m, depth, vf, w, h), clean_mid)
            log(f"    {name} {label}: {p:.2f} dB")
            return p

        for i, p in climb(settings, start, score).items():
            edge = i in (0, len(settings) - 1)
            if best is None or p > best[0]:
                best = (p, settings[i][0] + (" (grid edge)" if edge else ""))
    return best


# --------------------------------------------------------------------------------------


def make_clip(maker, out, kind, w, h, frames, seed):
    d = out / f"{kind}_{w}x{h}_s{seed}"
    d.mkdir(parents=True, exist_ok=True)
    clean, noisy = d / "clean.mkv", d / "noisy.mkv"
    cmd = [maker, "--clean", clean, "--noisy", noisy, "-y", "--width", w, "--height", h,
           "--frames", frames, "--seed", seed] + KINDS[kind]
    p = run(cmd)
    if p.returncode != 0:
        raise RuntimeError(f"{shlex.join(map(str, cmd))}: {p.stderr}")
    return {"dir": d, "clean": clean, "noisy": noisy, "w": w, "h": h}


def measure(args, exe, gl, kind, w, h):
    out = Path(args.out)
    clip = make_clip(args.make_camera_clip, out, kind, w, h, args.frames, args.seed)
    d, mid = clip["dir"], args.frames // 2
    clean = read_rgb(clip["clean"], w, h)
    noisy = read_rgb(clip["noisy"], w, h)
    c_mid, n_mid = clean[mid], noisy[mid]
    row = {"kind": kind, "size": f"{w}x{h}", "cells": {}, "notes": {}}
    row["cells"]["noisy"] = psnr(n_mid, c_mid)
    log(f"[{kind} {w}x{h}] noisy {row['cells']['noisy']:.2f} dB")
    ours = Ours(exe, gl, clip, mid)
    dst = d / "out.mkv"

    # As a user would type it: the whole clip, analysis of frame 0.
    f, text, cmd = ours.render(dst, ["--frames", "1", "--reference", clip["clean"]], whole=True)
    row["cells"]["auto0"] = psnr(f, c_mid) if f is not None else None
    row["notes"]["auto0"] = box_lines(text) + (["failed: " + text.strip().splitlines()[-1]]
                                               if f is None else [])
    m = re.search(r"output PSNR ([\d.]+) dB", text)
    row["notes"]["auto0_tool_mean"] = float(m.group(1)) if m else None
    row["notes"]["texture0"] = over_texture(row["notes"]["auto0"], clean[0])
    log(f"  automatic (frame 0): {row['cells']['auto0']} {row['notes']['auto0']}")

    f, text, _ = ours.render(dst, ["--frames", "1", "--analyze-frame", str(mid)])
    row["cells"]["automid"] = psnr(f, c_mid) if f is not None else None
    row["notes"]["automid"] = box_lines(text) + (["failed: " + text.strip().splitlines()[-1]]
                                                 if f is None else [])
    row["notes"]["texturemid"] = over_texture(row["notes"]["automid"], c_mid)
    log(f"  automatic (frame {mid}): {row['cells']['automid']} {row['notes']['automid']}")

    boxes = [b for b in candidate_boxes(w, h) if is_flat(c_mid, b)]
    row["notes"]["candidates"] = len(candidate_boxes(w, h))
    row["notes"]["flat"] = len(boxes)
    best = None
    for b in boxes:
        box = ",".join(map(str, b))
        f, text, _ = ours.render(dst, ["--frames", "1", "--box", box, "--analyze-frame", str(mid)])
        if f is None:
            log(f"  box {box}: failed {text.strip()[-200:]}")
            continue
        p = psnr(f, c_mid)
        log(f"  box {box}: {p:.2f} dB")
        if best is None or p > best[0]:
            best = (p, box)
    row["cells"]["best"] = best[0] if best else None
    row["notes"]["best_box"] = best[1] if best else None

    f, text, _ = ours.render(dst, [])
    row["cells"]["ours4"] = psnr(f, c_mid) if f is not None else None
    row["notes"]["ours4"] = box_lines(text)
    log(f"  4 frames tracked: {row['cells']['ours4']}")

    sigma8 = 255.0 * float(np.sqrt(np.mean((n_mid - c_mid) ** 2)))
    for name in ("bm3d", "nlmeans", "vaguedenoiser"):
        row["cells"][name] = best_filter(name, n_mid, c_mid, d, w, h, sigma8)
    # What the YUV round trip alone costs the filters' scores.
    row["notes"]["roundtrip"] = {str(dep): psnr(yuv_to_rgb(rgb_to_yuv(c_mid, dep), dep), c_mid)
                                 for dep in (8, 16)}
    return row


def fmt(v, label=None):
    if v is None:
        return "failed"
    return f"{v:.2f}" + (f" ({label})" if label else "")


def table(rows, mid):
    head = ("| clip | size | noisy | automatic (frame 0) | automatic (frame {m}) | best single box "
            "| gap | 4 frames, tracked | bm3d | nlmeans | vaguedenoiser |").format(m=mid)
    lines = [head, "|---|---|" + "---:|" * 9]
    for r in rows:
        c = r["cells"]
        gap = (c["automid"] - c["best"]) if c["automid"] is not None and c["best"] is not None else None
        ff = [fmt(*c[n]) if c[n] else "failed" for n in ("bm3d", "nlmeans", "vaguedenoiser")]
        lines.append(f"| {r['kind']} | {r['size']} | {fmt(c['noisy'])} | {fmt(c['auto0'])} | "
                     f"{fmt(c['automid'])} | {fmt(c['best']) if r['notes']['flat'] else 'no flat box'} | "
                     f"{'' if gap is None else f'{gap:+.2f}'} | {fmt(c['ours4'])} | "
                     + " | ".join(ff) + " |")
    return "\n".join(lines)


def notes(rows, mid):
    out = []
    for r in rows:
        n = r["notes"]
        a0 = "; ".join(n["auto0"]) or "(nothing printed)"
        am = "; ".join(n["automid"]) or "(nothing printed)"
        tex = [f"frame {f}: {', '.join(n[k])}" for f, k in ((0, "texture0"), (mid, "texturemid"))
               if n.get(k)]
        out.append(f"- {r['kind']} {r['size']}: frame 0: {a0}. Frame {mid}: {am}. "
                   f"Boxes not flat on the clean frame: {'; '.join(tex) or 'none'}. "
                   f"Best box {n['best_box']} of {n['flat']} flat candidates "
                   f"(of {n['candidates']}).")
    return "\n".join(out)


def machine(exe, gl):
    cpu = "unknown CPU"
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    info = run([exe, "info"] + gl)
    m = re.search(r"OpenGL:\s*(.*)$", info.stdout + info.stderr, re.M)
    return (f"{cpu}, {os.cpu_count()} CPUs, {platform.system()} {platform.release()}",
            m.group(1).strip() if m else "unknown renderer")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", default="/tmp/camera-compare", help="folder for clips and outputs")
    ap.add_argument("--ruvovav", default=str(REPO / "build" / "ruvovav"))
    ap.add_argument("--make-camera-clip", default=str(REPO / "build" / "make_camera_clip"))
    ap.add_argument("--kinds", default=",".join(KINDS), help=f"from {','.join(KINDS)}")
    ap.add_argument("--size", default="384x256", help="WxH of every kind")
    ap.add_argument("--large", default="640x360:camera,grain",
                    help="WxH:kind,kind... measured again at a second size ('' for none)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--frames", type=int, default=5, help="frames per clip; the middle one is scored")
    ap.add_argument("--gl", default=None, choices=["auto", "software", "hardware"],
                    help="passed to ruvovav (default: its own, auto)")
    ap.add_argument("--json", help="also write the results here")
    ap.add_argument("--from-json", metavar="JSON",
                    help="print the table of an earlier run's --json again; renders nothing")
    args = ap.parse_args()
    if args.from_json:
        summary = json.loads(Path(args.from_json).read_text())
        add_texture_flags(summary, args)
        report(summary)
        return

    exe = args.ruvovav
    gl = [f"--gl={args.gl}"] if args.gl else []
    jobs = []
    w, h = map(int, args.size.split("x"))
    jobs += [(k, w, h) for k in args.kinds.split(",") if k]
    if args.large:
        size, kinds = args.large.split(":")
        lw, lh = map(int, size.split("x"))
        jobs += [(k, lw, lh) for k in kinds.split(",") if k]
    for k, _, _ in jobs:
        if k not in KINDS:
            ap.error(f"unknown kind {k}")

    started = time.time()
    rows = [measure(args, exe, gl, k, jw, jh) for k, jw, jh in jobs]
    cpu, renderer = machine(exe, gl)
    summary = {"rows": rows, "cpu": cpu, "renderer": renderer, "frames": args.frames,
               "seed": args.seed, "minutes": (time.time() - started) / 60,
               "command": "nice -n 10 /usr/bin/python3 bench/compare_camera_clips.py "
                          + shlex.join(sys.argv[1:])}
    report(summary)
    if args.json:
        Path(args.json).write_text(json.dumps(summary, indent=1, default=str))


def add_texture_flags(summary, args):
    """Results written before the flatness check of the analysis's boxes existed: check them
    on the clean clips still under --out."""
    mid = summary.get("frames", args.frames) // 2
    for r in summary["rows"]:
        n = r["notes"]
        if "texture0" in n and "texturemid" in n:
            continue
        w, h = map(int, r["size"].split("x"))
        clip = Path(args.out) / f"{r['kind']}_{r['size']}_s{summary.get('seed', args.seed)}"
        clean = read_rgb(clip / "clean.mkv", w, h)
        n["texture0"] = over_texture(n["auto0"], clean[0])
        n["texturemid"] = over_texture(n["automid"], clean[mid])


def report(summary):
    rows, mid = summary["rows"], summary.get("frames", 5) // 2
    rt8 = min(r["notes"]["roundtrip"]["8"] for r in rows)
    print(table(rows, mid))
    print()
    print(notes(rows, mid))
    print()
    minutes = summary.get("minutes")
    print(f"Machine: {summary['cpu']}; renderer: {summary['renderer']}"
          + (f"; {minutes:.1f} minutes" if minutes is not None else "")
          + f". Clean middle frame after the 8-bit YUV round trip (nlmeans): {rt8:.1f} dB at worst.")
    if summary.get("command"):
        print("Command: " + summary["command"])


if __name__ == "__main__":
    main()
