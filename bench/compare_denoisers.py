#!/usr/bin/python3
"""Compare `ruvovav denoise` with FFmpeg's denoisers on clips made from real photographs.

Runs under Debian's /usr/bin/python3 (numpy, scipy and scikit-image from python3-skimage)
and needs the `ffmpeg` and `ffprobe` commands and GNU time (/usr/bin/time). Nothing is
downloaded: the photograph comes from the files bundled with scikit-image.

What it does, in one run:
  1. makes short clips (static and panning, 720p and 1080p by default) from a bundled
     photograph, with three kinds of noise, stored as lossless FFV1 (gbrp) next to the clean
     clip, plus the same noisy frames as 8-bit YUV 4:4:4 (BT.709, full range) for FFmpeg's
     filters, which denoise luma and chroma, not R, G and B;
  2. denoises every clip with ruvovav (automatic analysis, 1/4/8 frames) and with FFmpeg's
     hqdn3d, nlmeans, vaguedenoiser, atadenoise and bm3d at several strengths each;
  3. scores every result against the clean clip in 8-bit RGB (PSNR over all three channels,
     SSIM with the usual 11-tap Gaussian window averaged over the channels) on the frames
     every method produced, keeps each filter's best setting by PSNR and prints one table;
  4. measures the whole tool's speed and peak memory on 4-frame runs over whole clips;
  5. with --doc, writes the table, the command and the machine into docs/benchmarks.md.

Generated media go under --out (default out/compare, ignored by git).
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
DOC_HEADING = "## Comparison with FFmpeg's denoisers"

SIZES = {"180p": (320, 180), "360p": (640, 360), "720p": (1280, 720), "1080p": (1920, 1080)}
NOISES = {
    "g10": "Gaussian σ 10",
    "g25": "Gaussian σ 25",
    "grain": "grain σ(Y)=4+40·Y(1−Y)",
}
MOTIONS = ("static", "pan")
# Sub-pixel pan in pixels per frame: non-integer in both directions so that no frame is a
# plain copy of another and the tracker has real interpolation to undo.
PAN = (1.7, 0.4)
ALL_FILTERS = ("hqdn3d", "nlmeans", "vaguedenoiser", "atadenoise", "bm3d")

# BT.709 luma weights; the YUV files for FFmpeg and the grain use the same matrix.
KR, KB = 0.2126, 0.0722
KG = 1.0 - KR - KB


def log(msg):
    print(msg, file=sys.stderr, flush=True)


# --------------------------------------------------------------------------------------
# Test clips


def load_photo(name):
    """A bundled photograph as float RGB in [0, 255]; only files shipped with the package."""
    import skimage.data as data

    if name == "motorcycle":
        img = data.stereo_motorcycle()[0]
    else:
        img = getattr(data, name)()
    if img.ndim == 2:
        img = np.stack([img] * 3, axis=2)
    return img[..., :3].astype(np.float64)


def lanczos_matrix(n_out, n_in, scale, offset, a=3):
    """Rows of Lanczos-a weights: output sample i reads input position (i + offset + .5)/scale - .5.

    Only upscaling is used here (scale >= 1), so the kernel needs no widening against
    aliasing. Taps outside the picture are clamped to the edge."""
    pos = (np.arange(n_out) + offset + 0.5) / scale - 0.5
    base = np.floor(pos).astype(int)
    m = np.zeros((n_out, n_in))
    for k in range(-a + 1, a + 1):
        idx = base + k
        x = pos - idx
        w = np.sinc(x) * np.sinc(x / a)
        w[np.abs(x) >= a] = 0.0
        np.add.at(m, (np.arange(n_out), np.clip(idx, 0, n_in - 1)), w)
    return m / m.sum(axis=1, keepdims=True)


def make_clean_frames(photo, width, height, n_frames, motion):
    """Clean frames: the photo scaled to cover the frame plus the pan's travel, then each
    frame resampled once (separable Lanczos-3) at its own sub-pixel offset."""
    ph, pw = photo.shape[:2]
    travel_x = PAN[0] * (n_frames - 1)
    travel_y = PAN[1] * (n_frames - 1)
    scale = max((width + travel_x + 8) / pw, (height + travel_y + 8) / ph)
    # Start so that the pan's path is centred on the scaled photo.
    x0 = (pw * scale - width - travel_x) / 2
    y0 = (ph * scale - height - travel_y) / 2
    frames = []
    for t in range(n_frames):
        dx, dy = (PAN[0] * t, PAN[1] * t) if motion == "pan" else (travel_x / 2, travel_y / 2)
        mx = lanczos_matrix(width, pw, scale, x0 + dx)
        my = lanczos_matrix(height, ph, scale, y0 + dy)
        f = np.einsum("yi,ijc,xj->yxc", my, photo, mx, optimize=True)
        frames.append(np.clip(np.rint(f), 0, 255).astype(np.uint8))
    return frames, scale


def add_noise(clean, kind, rng):
    f = clean.astype(np.float64)
    if kind == "g10":
        f += rng.normal(0.0, 10.0, f.shape)
    elif kind == "g25":
        f += rng.normal(0.0, 25.0, f.shape)
    elif kind == "grain":
        # Film-like: strongest in the mid-tones, i.i.d. per pixel. The luma part moves R, G
        # and B together (it changes Y only); the weaker chroma part is independent noise on
        # Cb and Cr (0.35 of the luma sigma), mapped back to RGB with the BT.709 matrix.
        y = (KR * f[..., 0] + KG * f[..., 1] + KB * f[..., 2]) / 255.0
        sigma = 4.0 + 40.0 * y * (1.0 - y)
        n_y = rng.normal(0.0, 1.0, y.shape) * sigma
        n_cb = rng.normal(0.0, 1.0, y.shape) * 0.35 * sigma
        n_cr = rng.normal(0.0, 1.0, y.shape) * 0.35 * sigma
        f[..., 0] += n_y + 2 * (1 - KR) * n_cr
        f[..., 1] += n_y - (2 * KB * (1 - KB) / KG) * n_cb - (2 * KR * (1 - KR) / KG) * n_cr
        f[..., 2] += n_y + 2 * (1 - KB) * n_cb
    else:
        raise ValueError(kind)
    return np.clip(np.rint(f), 0, 255).astype(np.uint8)


def rgb_to_yuv444(rgb):
    """8-bit RGB to 8-bit full-range BT.709 Y, Cb, Cr planes."""
    f = rgb.astype(np.float64)
    y = KR * f[..., 0] + KG * f[..., 1] + KB * f[..., 2]
    cb = (f[..., 2] - y) / (2 * (1 - KB)) + 128.0
    cr = (f[..., 0] - y) / (2 * (1 - KR)) + 128.0
    return np.clip(np.rint(np.stack([y, cb, cr])), 0, 255).astype(np.uint8)


def yuv444_to_rgb(yuv):
    y, cb, cr = (p.astype(np.float64) for p in yuv)
    cb -= 128.0
    cr -= 128.0
    r = y + 2 * (1 - KR) * cr
    b = y + 2 * (1 - KB) * cb
    g = (y - KR * r - KB * b) / KG
    return np.clip(np.rint(np.stack([r, g, b], axis=2)), 0, 255).astype(np.uint8)


def write_ffv1(path, frames):
    h, w = frames[0].shape[:2]
    cmd = ["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24",
           "-s", f"{w}x{h}", "-r", "25", "-i", "-", "-c:v", "ffv1", "-level", "3",
           "-pix_fmt", "gbrp", str(path)]
    subprocess.run(cmd, input=b"".join(f.tobytes() for f in frames), check=True)


def write_y4m(path, frames):
    h, w = frames[0].shape[:2]
    with open(path, "wb") as out:
        out.write(f"YUV4MPEG2 W{w} H{h} F25:1 Ip A1:1 C444 XCOLORRANGE=FULL\n".encode())
        for f in frames:
            out.write(b"FRAME\n")
            out.write(rgb_to_yuv444(f).tobytes())


def read_rgb8(path, width, height):
    """Every frame of a video as 8-bit RGB. Decoded at 16 bits and rounded here, so a 16-bit
    output is rounded, not dithered, and an 8-bit one comes back exactly."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "rawvideo",
                          "-pix_fmt", "rgb48le", "-"], check=True, capture_output=True).stdout
    a = np.frombuffer(raw, dtype="<u2").reshape(-1, height, width, 3)
    return [np.clip(np.rint(f / 257.0), 0, 255).astype(np.uint8) for f in a]


# --------------------------------------------------------------------------------------
# Scores


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return float("inf") if mse == 0 else 10.0 * np.log10(255.0 ** 2 / mse)


def ssim(a, b):
    from skimage.metrics import structural_similarity

    return float(structural_similarity(a, b, channel_axis=2, data_range=255,
                                       gaussian_weights=True, sigma=1.5,
                                       use_sample_covariance=False))


def score(frames, clean, indices, with_ssim):
    p = float(np.mean([psnr(frames[i], clean[i]) for i in indices]))
    s = float(np.mean([ssim(frames[i], clean[i]) for i in indices])) if with_ssim else None
    return p, s


# --------------------------------------------------------------------------------------
# FFmpeg's filters: name -> list of (label, filter string, frames it must see)


def filter_grid(name, quick, n_frames, score_frames, noise):
    """Settings tried per filter.

    Returns a list of lines; each line is (settings, start): settings ordered weakest
    first, each (label, filter string, frames it must see), and start the index a hill
    climb begins at. The climb steps towards the better neighbour until PSNR drops, so a
    filter ends on the best setting of a wide grid (its top is never the best here) while
    trying only a few. Spatial filters see only the scored frames (their output does not
    depend on other frames); temporal ones see the whole clip."""
    whole = list(range(n_frames))
    # Where a climb starts: near the noise's luma sigma, in each filter's own units.
    guess = {"g10": 8, "g25": 20, "grain": 12}[noise]

    def nearest(vals, factor=1.0):
        return min(range(len(vals)), key=lambda i: abs(vals[i] - guess * factor))

    if name == "hqdn3d":
        vals = [16] if quick else [2, 4, 8, 12, 16, 24, 32, 48, 64, 96]
        # The other three strengths follow luma_spatial by the filter's own default ratios.
        return [([(f"{v}", f"hqdn3d=luma_spatial={v}", whole) for v in vals], nearest(vals))]
    if name == "nlmeans":
        vals = [8] if quick else [2, 4, 6, 8, 10, 12, 16, 20, 25, 30]
        return [([(f"s={v}", f"nlmeans=s={v}", score_frames) for v in vals], nearest(vals))]
    if name == "vaguedenoiser":
        vals = [16] if quick else [2, 4, 8, 12, 16, 24, 32, 48, 64, 96]
        methods = ["garrote"] if quick else ["garrote", "soft", "hard"]
        return [([(f"{m} {v}", f"vaguedenoiser=threshold={v}:method={m}", score_frames)
                  for v in vals], nearest(vals)) for m in methods]
    if name == "atadenoise":
        # Threshold a is capped at 0.3 by the filter; b goes on up to 5. s=9: the filter's
        # default window, the whole clip around the middle frame.
        pairs = [(0.1, 0.2)] if quick else [(0.02, 0.04), (0.05, 0.1), (0.1, 0.2), (0.2, 0.4),
                                            (0.3, 0.6), (0.3, 1.0), (0.3, 2.0), (0.3, 5.0)]
        return [([(f"a={x:g} b={y:g}",
                   f"atadenoise=0a={x}:1a={x}:2a={x}:0b={y}:1b={y}:2b={y}:s=9", whole)
                  for x, y in pairs], min(3, len(pairs) - 1))]
    if name == "bm3d":
        # The filter's own mode: basic estimate, no grouping. Its sigma is not in pixel
        # units (the best values came out near 2.5 times the noise's sigma), hence the wide
        # grid. At 360p on σ 10 the documented two-step chain (final estimate with
        # group=16 against the basic one) and the basic estimate with group=16 both scored
        # lower at their best sigma (31.6 and 32.4 dB against 32.7) and took 10 to 15 times
        # as long, so they are left out. Only the middle frame: BM3D is spatial and slow.
        vals = [20] if quick else [10, 15, 20, 25, 30, 40, 50, 60, 80, 100, 130]
        mid = [score_frames[len(score_frames) // 2]]
        return [([(f"σ={v}", f"bm3d=sigma={v}", mid) for v in vals], nearest(vals, 2.5))]
    raise ValueError(name)


def run_ffmpeg_filter(y4m, width, height, vf, frames):
    """Runs one filter over frames[0]..frames[-1] (a contiguous span) of the YUV clip.
    Returns (dict frame index -> RGB frame, wall seconds, command)."""
    first, count = frames[0], frames[-1] - frames[0] + 1
    sel = f"trim=start_frame={first}:end_frame={first + count},setpts=PTS-STARTPTS,"
    cmd = ["ffmpeg", "-v", "error", "-i", str(y4m), "-vf", sel + vf,
           "-f", "rawvideo", "-pix_fmt", "yuv444p", "-"]
    t0 = time.perf_counter()
    out = subprocess.run(cmd, check=True, capture_output=True).stdout
    wall = time.perf_counter() - t0
    a = np.frombuffer(out, dtype=np.uint8).reshape(-1, 3, height, width)
    if a.shape[0] != count:
        raise RuntimeError(f"{vf}: {a.shape[0]} frames out of {count}")
    return {first + i: yuv444_to_rgb(a[i]) for i in range(count)}, wall, cmd


# --------------------------------------------------------------------------------------
# ruvovav


def ruvovav_has_stats(exe):
    h = subprocess.run([exe, "denoise", "--help"], capture_output=True, text=True)
    return "--stats" in (h.stdout + h.stderr)


def run_ours(exe, src, dst, n, track, extra, timed, stats):
    cmd = [exe, "denoise", str(src), "-o", str(dst), "-y", "--frames", str(n),
           "--track" if track else "--no-track"] + extra + (["--stats"] if stats else [])
    if timed:
        cmd = ["/usr/bin/time", "-v"] + cmd
    t0 = time.perf_counter()
    p = subprocess.run(cmd, capture_output=True, text=True)
    wall = time.perf_counter() - t0
    return p, wall, cmd


def parse_boxes(text):
    return re.findall(r"\d+,\d+,\d+,\d+", "\n".join(l for l in text.splitlines() if "box" in l.lower()))


# --------------------------------------------------------------------------------------


def machine_line():
    cpu = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{cpu}, {os.cpu_count()} CPUs, {platform.system()} {platform.release()}"


def fmt_cell(p, s, spf, setting=None):
    if p is None:
        return "—"
    txt = f"{p:.2f} / {s:.4f}" if s is not None else f"{p:.2f}"
    if spf is not None:
        txt += f" · {spf:.2f} s"
    if setting:
        txt += f" ({setting})"
    return txt


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", default=str(REPO / "out" / "compare"), help="folder for clips and outputs")
    ap.add_argument("--ruvovav", default=str(REPO / "build" / "ruvovav"))
    ap.add_argument("--photo", default="motorcycle",
                    help="bundled skimage photograph: motorcycle (left view of stereo_motorcycle, "
                         "741x500), coffee, rocket, astronaut, chelsea, ...")
    ap.add_argument("--sizes", default="720p,1080p", help=f"from {','.join(SIZES)}")
    ap.add_argument("--motions", default="static,pan")
    ap.add_argument("--noises", default="g10,g25,grain")
    ap.add_argument("--filters", default=",".join(ALL_FILTERS))
    ap.add_argument("--filters-1080p", default="hqdn3d,vaguedenoiser,atadenoise",
                    help="FFmpeg filters run at 1080p; the default leaves nlmeans and bm3d "
                         "to the smaller size to fit the run in about 45 minutes on 2 CPUs")
    ap.add_argument("--ours-frames-1080p", default="4",
                    help="frame counts of ours at 1080p (the 4-frame one by default, for time)")
    ap.add_argument("--ours-frames", default="1,4,8")
    ap.add_argument("--track", default="auto", choices=["auto", "both", "on", "off"],
                    help="auto: --track on panning clips, --no-track on static ones")
    ap.add_argument("--clip-frames", type=int, default=9)
    ap.add_argument("--score", default="middle", choices=["middle", "centre3", "all"],
                    help="frames scored: the middle one (where an 8-frame window is whole), "
                         "the middle three, or all")
    ap.add_argument("--ours-range", default="score", choices=["score", "all"],
                    help="frames ruvovav renders in the quality runs: the scored ones "
                         "(neighbours are still read) or the whole clip")
    ap.add_argument("--no-speed", action="store_true", help="skip the whole-tool speed runs")
    ap.add_argument("--speed-motions", default="pan",
                    help="clips of the whole-tool speed runs (4 frames, every frame rendered)")
    ap.add_argument("--gl", default="software", choices=["software", "auto", "hardware"])
    ap.add_argument("--quick", action="store_true",
                    help="smoke run: 360p, one noise, few settings, a few seconds per method")
    ap.add_argument("--doc", nargs="?", const=str(REPO / "docs" / "benchmarks.md"),
                    help="write the section into this Markdown file (default docs/benchmarks.md)")
    ap.add_argument("--from-summary", metavar="JSON",
                    help="print (and with --doc write) the tables of an earlier run's summary.json; runs nothing")
    args = ap.parse_args()
    if args.from_summary:
        report(json.loads(Path(args.from_summary).read_text()), args.doc)
        return

    if args.quick:
        for opt, val in (("sizes", "360p"), ("noises", "g25"), ("ours_frames", "1,4"),
                         ("filters_1080p", "hqdn3d"), ("ours_frames_1080p", "1")):
            if ap.get_default(opt) == getattr(args, opt):
                setattr(args, opt, val)
    sizes = [s for s in args.sizes.split(",") if s]
    motions = [m for m in args.motions.split(",") if m]
    noises = [n for n in args.noises.split(",") if n]
    filters = [f for f in args.filters.split(",") if f]
    filters_big = set(f for f in args.filters_1080p.split(",") if f)
    ours_frames = [int(n) for n in args.ours_frames.split(",") if n]
    ours_frames_big = [int(n) for n in args.ours_frames_1080p.split(",") if n]
    for s in sizes:
        if s not in SIZES:
            ap.error(f"unknown size {s}")
    for n in noises:
        if n not in NOISES:
            ap.error(f"unknown noise {n}")
    for f in filters:
        if f not in ALL_FILTERS:
            ap.error(f"unknown filter {f}")

    n_frames = args.clip_frames
    mid = n_frames // 2
    score_frames = {"middle": [mid], "centre3": [mid - 1, mid, mid + 1],
                    "all": list(range(n_frames))}[args.score]
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    exe = args.ruvovav
    stats = ruvovav_has_stats(exe)
    gl = [f"--gl={args.gl}"]
    started = time.time()
    loads = [os.getloadavg()[0]]
    photo = load_photo(args.photo)
    log(f"photo {args.photo} {photo.shape[1]}x{photo.shape[0]}; stats line: {'yes' if stats else 'no'}")

    rows = []          # one per clip x noise
    failures = []      # (command, what happened)
    speed = []         # whole-tool runs
    commands = {}      # example command per method

    for size in sizes:
        w, h = SIZES[size]
        for motion in motions:
            clean, scale = make_clean_frames(photo, w, h, n_frames, motion)
            cdir = out / f"{args.photo}_{size}_{motion}"
            cdir.mkdir(exist_ok=True)
            write_ffv1(cdir / "clean.mkv", clean)
            for noise in noises:
                # Seeded per clip so a rerun makes the same noise.
                rng = np.random.default_rng([w, h, MOTIONS.index(motion),
                                             list(NOISES).index(noise)])
                noisy = [add_noise(c, noise, rng) for c in clean]
                src = cdir / f"{noise}.mkv"
                y4m = cdir / f"{noise}_yuv444.y4m"
                write_ffv1(src, noisy)
                write_y4m(y4m, noisy)
                # The noisy clip as FFmpeg's filters see it (after the YUV round trip) shows
                # what that round trip alone costs.
                row = {"size": size, "motion": motion, "noise": noise, "scale": scale,
                       "cells": {}}
                row["cells"]["noisy"] = (*score(noisy, clean, score_frames, True), None, None)
                log(f"[{size} {motion} {noise}] noisy {row['cells']['noisy'][0]:.2f} dB")

                # ---- ours
                tracks = {"auto": [motion == "pan"], "both": [False, True],
                          "on": [True], "off": [False]}[args.track]
                if args.ours_range == "score":
                    rng_args = ["--range", f"{score_frames[0]}:{score_frames[-1] + 1}"]
                    rendered = score_frames[-1] - score_frames[0] + 1
                else:
                    rng_args, rendered = [], n_frames
                for nf in ours_frames:
                    if size == "1080p" and nf not in ours_frames_big:
                        row["cells"][f"ours{nf}"] = (None, None, None, "not run")
                        continue
                    for track in tracks:
                        key = f"ours{nf}" + ("" if args.track in ("auto", "on", "off")
                                             else ("t" if track else "n"))
                        dst = cdir / f"{noise}_ours_f{nf}_{'t' if track else 'n'}.mkv"
                        p, wall, cmd = run_ours(exe, src, dst, nf, track, rng_args + gl, False, stats)
                        loads.append(os.getloadavg()[0])
                        commands.setdefault("ours", shlex.join(cmd))
                        if p.returncode != 0 or not dst.exists():
                            failures.append((shlex.join(cmd), f"exit {p.returncode}: "
                                             + (p.stderr.strip().splitlines() or ["(no output)"])[-1]))
                            row["cells"][key] = (None, None, None, "failed")
                            log(f"  {key}: FAILED {p.stderr.strip()[-300:]}")
                            continue
                        res = read_rgb8(dst, w, h)
                        # The output holds the rendered range only.
                        got = {score_frames[0] + i if args.ours_range == "score" else i: f
                               for i, f in enumerate(res)}
                        pp, ss = score([got[i] for i in score_frames],
                                       [clean[i] for i in score_frames],
                                       range(len(score_frames)), True)
                        boxes = parse_boxes(p.stderr + p.stdout)
                        row["cells"][key] = (pp, ss, wall / rendered,
                                             ("track" if track else "no track"))
                        row.setdefault("boxes", boxes)
                        log(f"  {key}: {pp:.2f} dB {ss:.4f} {wall / rendered:.2f} s/frame boxes {boxes}")
                        dst.unlink()

                # ---- FFmpeg
                for name in filters:
                    if size == "1080p" and name not in filters_big:
                        row["cells"][name] = (None, None, None, "not run")
                        continue
                    best = None
                    tried = {}
                    lines = filter_grid(name, args.quick, n_frames, score_frames, noise)
                    grid = [g for line, _ in lines for g in line]
                    starts, off = [], 0
                    for line, st in lines:
                        starts.append((off, off + len(line), off + st))
                        off += len(line)

                    def attempt(i):
                        if i in tried:
                            return tried[i]
                        label, vf, fr = grid[i]
                        span = list(range(min(fr), max(fr) + 1))
                        try:
                            got, wall, cmd = run_ffmpeg_filter(y4m, w, h, vf, span)
                        except (subprocess.CalledProcessError, RuntimeError) as e:
                            err = getattr(e, "stderr", b"") or b""
                            failures.append((vf, f"{e} {err.decode(errors='replace')[-200:]}"))
                            log(f"  {name} {label}: FAILED {e}")
                            tried[i] = None
                            return None
                        loads.append(os.getloadavg()[0])
                        commands.setdefault(name, shlex.join(cmd))
                        scored = [k for k in score_frames if k in got]
                        pp, _ = score(got, clean, scored, False)
                        log(f"  {name} {label}: {pp:.2f} dB {wall / len(span):.2f} s/frame"
                            f" ({len(span)} frames)")
                        top = any(i == hi - 1 for _, hi, _ in starts) and len(grid) > 1
                        tried[i] = (pp, label + (", top of grid" if top else ""),
                                    wall / len(span), got, scored)
                        return tried[i]

                    for lo, hi, i in starts:
                        cur = attempt(i)
                        for step in (1, -1):
                            j = i
                            while cur is not None and lo <= j + step < hi:
                                nxt = attempt(j + step)
                                if nxt is None or nxt[0] <= cur[0]:
                                    break
                                j, cur = j + step, nxt
                            if j != i:
                                break  # climbed one way; the other side is worse
                    for res in tried.values():
                        if res is not None and (best is None or res[0] > best[0]):
                            best = res
                    if best is None:
                        row["cells"][name] = (None, None, None, "failed")
                        continue
                    pp, label, spf, got, scored = best
                    _, ss = score(got, clean, scored, True)
                    row["cells"][name] = (pp, ss, spf, label)
                rows.append(row)

    # ---- whole-tool speed: 4-frame runs over whole clips
    if not args.no_speed and 4 in ours_frames:
        for size in sizes:
            w, h = SIZES[size]
            for motion in [m for m in args.speed_motions.split(",") if m in motions]:
                src = out / f"{args.photo}_{size}_{motion}" / f"{noises[0]}.mkv"
                dst = out / f"speed_{size}_{motion}.mkv"
                track = motion == "pan"
                p, wall, cmd = run_ours(exe, src, dst, 4, track, gl, True, stats)
                loads.append(os.getloadavg()[0])
                rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", p.stderr)
                st = re.search(r"^stats:.*$", p.stdout, re.M)
                ok = p.returncode == 0
                if not ok:
                    failures.append((shlex.join(cmd[2:]), f"exit {p.returncode}"))
                speed.append({"size": size, "motion": motion, "track": track, "ok": ok,
                              "fps": n_frames / wall if ok else None, "wall": wall,
                              "rss_mb": int(rss.group(1)) / 1024 if rss else None,
                              "stats": st.group(0) if st else None,
                              "cmd": shlex.join(cmd[2:])})
                log(f"speed {size} {motion}: {'failed' if not ok else f'{n_frames / wall:.2f} fps'}, "
                    f"{speed[-1]['rss_mb']} MB, {speed[-1]['stats']}")
                if dst.exists():
                    dst.unlink()

    elapsed = time.time() - started
    loads.append(os.getloadavg()[0])
    info = subprocess.run([exe, "info", str(out / f"{args.photo}_{sizes[0]}_{motions[0]}" / "clean.mkv"),
                           f"--gl={args.gl}"], capture_output=True, text=True)
    m = re.search(r"OpenGL:\s*(.*)$", info.stdout + info.stderr, re.M)
    photo_h, photo_w = photo.shape[:2]
    summary = {
        "command": "/usr/bin/python3 bench/compare_denoisers.py " + shlex.join(sys.argv[1:]),
        "machine": machine_line(), "gl": m.group(1).strip() if m else "",
        "loads": loads, "elapsed_s": elapsed, "score_frames": score_frames,
        "clip_frames": n_frames, "photo": f"{args.photo} ({photo_w}x{photo_h})",
        "ours_range": args.ours_range, "out": str(out), "speed": speed, "failures": failures,
        "commands": commands, "stats_line": stats, "rows": rows,
    }
    (out / "summary.json").write_text(json.dumps(summary, indent=1, default=str))
    report(summary, args.doc)


def col_title(k):
    if k == "noisy":
        return "noisy input"
    if k.startswith("ours"):
        tail = {"t": ", track", "n": ", no track"}.get(k[-1], "")
        n = k[4:].rstrip("tn")
        return f"ours, {n} frame{'s' if n != '1' else ''}{tail}"
    return k


def tables(summary):
    rows = summary["rows"]
    cols = (["noisy"] + [k for k in rows[0]["cells"] if k != "noisy"]) if rows else []
    quality = ["| clip | noise | " + " | ".join(col_title(c) for c in cols) + " |",
               "|---|---|" + "---:|" * len(cols)]
    speed = ["| clip | noise | " + " | ".join(col_title(c) for c in cols[1:]) + " |",
             "|---|---|" + "---:|" * (len(cols) - 1)]
    for r in rows:
        q, sp = [], []
        for c in cols:
            p, s, spf, setting = (list(r["cells"].get(c) or []) + [None] * 4)[:4]
            if p is None:
                q.append(setting or "—")
                sp.append("—")
                continue
            cell = f"{p:.2f} / {s:.3f}"
            if setting and not c.startswith("ours"):
                cell += f" ({setting})"
            q.append(cell)
            sp.append(f"{spf:.2f}" if spf is not None else "")
        name = f"| {r['size']} {r['motion']} | {NOISES[r['noise']]} | "
        quality.append(name + " | ".join(q) + " |")
        speed.append(name + " | ".join(sp[1:]) + " |")
    whole = []
    if summary["speed"]:
        stages = any(s.get("stats") for s in summary["speed"])
        whole = ["| clip (4 frames, whole 9-frame clip) | frames/s | s/frame | peak memory"
                 + (" | stages" if stages else "") + " |",
                 "|---|---:|---:|---:|" + ("---|" if stages else "")]
        for s in summary["speed"]:
            name = f"| {s['size']} {s['motion']} ({'track' if s['track'] else 'no track'}) | "
            if not s["ok"]:
                whole.append(name + "failed | | |" + (" |" if stages else ""))
                continue
            whole.append(name + f"{s['fps']:.3f} | {1 / s['fps']:.2f} | {s['rss_mb']:.0f} MB |"
                         + (f" {s.get('stats') or 'n/a'} |" if stages else ""))
    return "\n".join(quality), "\n".join(speed), "\n".join(whole)


def load_text(loads):
    return (f"1-minute load average {min(loads):.1f} to {max(loads):.1f} "
            f"(median {float(np.median(loads)):.1f}) on {os.cpu_count()} CPUs")


def roundtrip_psnr(out, summary):
    """PSNR of each size's clean middle frame after the RGB -> YUV 4:4:4 -> RGB round trip
    that FFmpeg's filters' input and output go through: the ceiling the conversion alone
    puts on their scores."""
    res = {}
    for r in summary["rows"]:
        if r["size"] in res:
            continue
        clip = Path(out) / f"{summary['photo'].split()[0]}_{r['size']}_{r['motion']}" / "clean.mkv"
        if clip.exists():
            w, h = SIZES[r["size"]]
            c = read_rgb8(clip, w, h)[summary["score_frames"][0]]
            res[r["size"]] = psnr(yuv444_to_rgb(rgb_to_yuv444(c)), c)
    return res


def report(summary, doc):
    quality, speed, whole = tables(summary)
    if "roundtrip_db" not in summary:
        summary["roundtrip_db"] = roundtrip_psnr(summary.get("out", REPO / "out" / "compare"), summary)
    loads = summary["loads"]
    print(quality)
    print()
    print(speed)
    print()
    if whole:
        print(whole)
        print()
    for cmd, what in summary["failures"]:
        print(f"FAILED: {cmd}: {what}")
    print(f"{summary['machine']}; {summary['gl']}; {load_text(loads)}; "
          f"{summary['elapsed_s'] / 60:.1f} min")
    print(summary["command"])
    if doc:
        write_doc(Path(doc), summary, quality, speed, whole)


BEGIN = "<!-- generated by bench/compare_denoisers.py: begin -->"
END = "<!-- generated by bench/compare_denoisers.py: end -->"


def reflow(text, width=92):
    """Wraps the prose paragraphs; tables, code blocks, lists and markers stay as they are."""
    import textwrap

    out, in_code = [], False
    for para in text.split("\n\n"):
        first = para.lstrip("\n")
        if first.startswith("```") or in_code:
            in_code = (para.count("```") % 2 == 1) != in_code
            out.append(para)
        elif first[:1] in ("|", "-", "<") or not first.strip():
            out.append(para)
        else:
            out.append(textwrap.fill(" ".join(para.split()), width=width,
                                     break_on_hyphens=False, break_long_words=False))
    return "\n\n".join(out)


def write_doc(path, summary, quality, speed, whole):
    """Replaces the generated part of the section (between the markers) and keeps the rest
    of the section, where the reading of the numbers is written by hand."""
    sf = summary["score_frames"]
    frames_txt = (f"frame {sf[0]} (the middle one)" if len(sf) == 1
                  else f"frames {sf[0]} to {sf[-1]} (mean)")
    scales = sorted({(r["size"], round(r["scale"], 2)) for r in summary["rows"]})
    rt_txt = ", ".join(f"{v:.1f} dB at {k}" for k, v in summary["roundtrip_db"].items()) or "(not measured)"
    best_ff = max((c[0] for r in summary["rows"] for k, c in r["cells"].items()
                   if k in ALL_FILTERS and c and c[0] is not None), default=None)
    rt_cost = "(not measured)"
    if best_ff is not None and summary["roundtrip_db"]:
        worst = min(summary["roundtrip_db"].values())
        rt_cost = (f"{10 * np.log10(1 + 10 ** ((best_ff - worst) / 10)):.2f} dB "
                   f"(the best filter score here, {best_ff:.2f} dB)")
    fails = "".join(f"- `{c}`: {w}\n" for c, w in summary["failures"]) or "- none\n"
    not_run = any(c and c[0] is None and len(c) > 3 and c[3] == "not run"
                  for r in summary["rows"] for c in r["cells"].values())
    not_run_txt = ("\"not run\": left out of this run to keep it within its time budget "
                   "(`--filters-1080p`, `--ours-frames-1080p`).") if not_run else ""
    gen = f"""{BEGIN}

Measured {time.strftime('%Y-%m-%d')} on {summary['machine']}; OpenGL: {summary['gl']};
{load_text(summary['loads'])} during the run (the machine is shared); the run took
{summary['elapsed_s'] / 60:.1f} minutes. Reproduce with:

```
{summary['command']}
```

Clips: {summary['clip_frames']} frames from the bundled scikit-image photograph
{summary['photo']}, upscaled with Lanczos-3 ({', '.join(f'{s} ×{k}' for s, k in scales)}; so the
pictures are softer than real footage of that size), still (`static`) or panning by
({PAN[0]}, {PAN[1]}) pixels a frame (`pan`, each frame resampled from the photograph at its
own sub-pixel offset), stored as 8-bit FFV1 (gbrp). Noise: Gaussian σ 10 and σ 25 of 255,
i.i.d. on R, G and B; grain: luma noise with σ(Y) = 4 + 40·Y·(1−Y) of 255 (Y in 0..1,
BT.709), i.i.d. per pixel, plus independent Cb and Cr noise at 0.35 of that σ.

Scores: PSNR (dB, over R, G and B together) and SSIM (Gaussian window σ 1.5, mean of the
three channels) of 8-bit RGB against the clean clip, on {frames_txt}, where every method's
window is whole. Ours reads and writes RGB (FFV1; its output is rounded to 8 bits). FFmpeg's
filters get the same noisy frames as 8-bit YUV 4:4:4 (BT.709, full range, converted by the
script) and their output is converted back the same way; the clean frame after that round
trip alone scores {rt_txt}; as an independent error it lowers a filter's score by at most
{rt_cost}.

Ours: `ruvovav denoise` with the automatic analysis and default settings, `--track` on the
panning clips and `--no-track` on the still ones, rendering only the scored frame(s)
(`--range`; the neighbours are still read). FFmpeg's filters, best by PSNR of these settings
(the best is shown in parentheses), each found by a hill climb over a wide grid (from a
start near the noise's sigma, stepping towards the better neighbour until PSNR drops; a best
at the top of a grid would be marked): hqdn3d luma_spatial 2 to 96 (the other three
strengths follow by the filter's default ratios; all 9 frames); nlmeans s 2 to 30 (middle
frame); vaguedenoiser threshold 2 to 96, each of the methods garrote, soft and hard (middle
frame); atadenoise thresholds (a, b) from (0.02, 0.04) to (0.3, 5) on all planes, window 9
frames; bm3d sigma 10 to 130 with the filter's default block and grouping (basic estimate),
middle frame only. In a test while writing this script (the 360p still σ 10 clip it
makes), bm3d with group=16, and the final estimate chained after the basic one, scored
lower at their best sigma (32.4 and 31.6 dB against 32.7) and ran 10 to 15 times slower, so
they are not in the grid.

PSNR dB / SSIM:

{quality}

{not_run_txt}

Seconds per frame of the best setting's command (wall clock divided by the frames it
rendered; ours renders one frame after reading its neighbours and running the automatic
analysis, so its figure includes start-up and analysis; the whole-tool speed below is the
throughput over a whole clip):

{speed}

Whole tool, `ruvovav denoise --frames 4` over the whole clip (wall clock, and
`/usr/bin/time -v` maximum resident set size):

{whole if whole else '(not run)'}

{'' if summary['stats_line'] else 'Per-stage shares: this build of `ruvovav denoise` has no `--stats` option, so there is no breakdown.'}

Failures in this run:

{fails}{END}
"""
    gen = re.sub(r"\n{3,}", "\n\n", reflow(gen))
    text = path.read_text() if path.exists() else ""
    if DOC_HEADING in text and BEGIN in text and END in text:
        a = text.index(BEGIN)
        b = text.index(END) + len(END) + 1
        text = text[:a] + gen + text[b:]
    else:
        text = text.rstrip("\n") + f"\n\n{DOC_HEADING}\n\n" + gen
    path.write_text(text)
    log(f"wrote {path}")


if __name__ == "__main__":
    main()
