"""The splitters' output as other programs see it: the bitmaps decoded by Pillow, the index
page shown by a headless Chromium.

Run as a script, this file saves a screenshot of the gallery of the sample game folder
to docs/gallery.png:

    /usr/bin/python3 tests/programs/test_gallery.py
"""

import html
import json
import pathlib
import re
import struct
import subprocess
import sys
import tempfile

import pytest

from conftest import FACE_CELL_SIZE, FACE_HEIGHT, FACE_WIDTH, NATIVE_BIN_DIR, REPO, \
    archive_bytes, cell_of, palette_colours, palette_file_bytes

CHROMIUM = pathlib.Path("/usr/bin/chromium")
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--hide-scrollbars"]

# Where each program reads and writes by default.
PROGRAMS = {
    "mugcut": {"archive": "SAN7/kaodata.s7", "palette": "SAN7/p_kao.s7", "folder": "KAO_BMP",
               "page": "kao_bmp.html", "mode": "P", "title": "三国志\uff17 顔グラ一覧(%d)"},
    "mugcut24": {"archive": "SAN6/kaodata.s6", "palette": "SAN6/palette.s6",
                 "folder": "KAO_S6_24BMP", "page": "kao_s6bmp.html", "mode": "RGB",
                 "title": "三国志6 顔グラ一覧(%d)"},
}

# Every cell of this archive runs through all 256 palette indices.
ALL_INDEX_CELLS = [cell_of(5), bytes((n * 7 + n // 96) % 256 for n in range(FACE_CELL_SIZE))]


def make_sample(folder):
    subprocess.run([str(NATIVE_BIN_DIR / "make_sample"), str(folder)], check=True,
                   capture_output=True, timeout=60)


def split(run, program, game):
    """Runs a splitter on its default paths in the game folder; returns the output folder."""
    result = run(program, b"\n\n", cwd=game)
    assert result.returncode == 0, result.stderr
    return game / PROGRAMS[program]["folder"]


def native_run(program, answers, cwd):
    return subprocess.run([str(NATIVE_BIN_DIR / program)], input=answers, capture_output=True,
                          cwd=cwd, timeout=60, start_new_session=True)


def archive_cells(data):
    """The cells of an archive, top row first, read by the layout of the game's files."""
    count = struct.unpack_from("<i", data)[0]
    start = 4 + 16 * count
    return [data[start + n * FACE_CELL_SIZE:start + (n + 1) * FACE_CELL_SIZE]
            for n in range(count)]


@pytest.fixture(scope="module")
def sample(tmp_path_factory):
    folder = tmp_path_factory.mktemp("sample")
    make_sample(folder)
    return folder


def chromium(arguments, timeout=180):
    if not CHROMIUM.exists():
        pytest.skip("no Chromium at /usr/bin/chromium")
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run([str(CHROMIUM)] + CHROMIUM_FLAGS + ["--user-data-dir=" + profile]
                              + arguments, capture_output=True, timeout=timeout,
                              stdin=subprocess.DEVNULL, start_new_session=True)


def take_gallery_screenshot(page, png):
    """Saves what a browser window of 1100 x 900 shows of the index page."""
    result = chromium(["--screenshot=" + str(png), "--window-size=1100,900",
                       "--virtual-time-budget=10000", page.resolve().as_uri()])
    assert png.exists(), result.stderr.decode(errors="replace")


# --- bitmaps through Pillow ----------------------------------------------------------------


@pytest.mark.parametrize("program", ["mugcut", "mugcut24"])
@pytest.mark.parametrize("source", ["all-indices", "sample"])
def test_bitmaps_decode_to_palette_colours(launcher, sample, tmp_path, program, source):
    from PIL import Image

    settings = PROGRAMS[program]
    if source == "sample":
        archive = (sample / settings["archive"]).read_bytes()
        palette = (sample / settings["palette"]).read_bytes()
        faces = [0, 1, 300, len(archive_cells(archive)) - 1]
    else:
        archive = archive_bytes(ALL_INDEX_CELLS)
        palette = palette_file_bytes(11)
        faces = [0, 1]
    for name, data in ((settings["archive"], archive), (settings["palette"], palette)):
        (tmp_path / name).parent.mkdir(exist_ok=True)
        (tmp_path / name).write_bytes(data)
    cells = archive_cells(archive)
    colours = palette_colours(palette)

    folder = split(launcher.run, program, tmp_path)

    for n in faces:
        with Image.open(folder / ("kao%03d.bmp" % n)) as image:
            assert image.format == "BMP"
            assert image.size == (FACE_WIDTH, FACE_HEIGHT)
            assert image.mode == settings["mode"]
            if image.mode == "P":
                # Pillow gives the rows top first, as the cell holds them.
                assert bytes(image.getdata()) == cells[n]
                assert image.getpalette()[:768] == [part for colour in colours
                                                    for part in colour]
            shown = list(image.convert("RGB").getdata())
        assert shown == [colours[index] for index in cells[n]], n


# --- the index page in a browser -------------------------------------------------------------

CHECKER = """<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body>
<pre id="report">waiting</pre>
%(frames)s
<script>
const reports = {};
const expected = %(count)d;
function look(frame) {
  const doc = frame.contentDocument;
  const canvas = document.createElement("canvas");
  canvas.width = 96;
  canvas.height = 120;
  const context = canvas.getContext("2d", {willReadFrequently: true});
  const points = [[0, 0], [95, 0], [0, 119], [95, 119], [47, 60]];
  const images = Array.from(doc.images).map(img => {
    let pixels = null;
    try {
      context.clearRect(0, 0, 96, 120);
      context.drawImage(img, 0, 0);
      pixels = points.map(([x, y]) => Array.from(context.getImageData(x, y, 1, 1).data));
    } catch (error) {
      pixels = String(error);
    }
    return {src: img.getAttribute("src"), complete: img.complete,
            width: img.naturalWidth, height: img.naturalHeight, pixels: pixels};
  });
  reports[frame.id] = {charset: doc.characterSet, title: doc.title, images: images,
                       cells: Array.from(doc.querySelectorAll("td")).map(td => td.innerText)};
  if (Object.keys(reports).length === expected) {
    document.getElementById("report").textContent = JSON.stringify(reports);
  }
}
for (const frame of document.querySelectorAll("iframe")) {
  frame.addEventListener("load", () => look(frame));
}
</script></body></html>
"""


def browser_reports(pages, folder):
    """Shows each page in a frame of a checker page and returns, for each, what the
    browser made of it: its character set, title, images and the texts of its cells."""
    frames = "\n".join('<iframe id="%s" src="%s" width="1100" height="700"></iframe>'
                       % (name, page.resolve().as_uri()) for name, page in pages.items())
    checker = folder / "check.html"
    checker.write_text(CHECKER % {"frames": frames, "count": len(pages)}, encoding="utf-8")
    # File pages may look into one another only with this switch.
    result = chromium(["--allow-file-access-from-files", "--virtual-time-budget=10000",
                       "--run-all-compositor-stages-before-draw", "--dump-dom",
                       checker.as_uri()])
    found = re.search(r'<pre id="report">(.*?)</pre>', result.stdout.decode("utf-8"),
                      re.DOTALL)
    assert found, result.stderr.decode(errors="replace")[-2000:]
    return json.loads(html.unescape(found.group(1)))


def fixed_captions():
    """The captions that are no person's name, by face number."""
    captions = {}
    for n in range(70):
        captions[520 + n] = "新武将%02d" % n
    for n in range(30):
        captions[590 + n] = "新武将%02d" % n
    captions[620] = "虎"
    common = ["民\uff1a男性", "民\uff1a女性", "民\uff1a老人", "民\uff1a老婆", "民\uff1a子供",
              "民\uff1a男性", "武官", "使者", "男性", "武将", "女性"]
    captions.update(zip(range(623, 634), common))
    townsfolk = ["民\uff1a男性", "民\uff1a男性", "民\uff1a男性", "民\uff1a商人", "民\uff1a釣り人",
                 "隠士", "隠士", "隠士", "武将"]
    captions.update(zip(range(640, 649), townsfolk))
    for n in range(20):
        captions[649 + n] = "新武将%02d" % (70 + n)
    for n in range(9):
        captions[669 + n] = "新武将%02d" % (30 + n)
    return captions


def test_pages_show_in_browser(launcher, sample, tmp_path):
    game = tmp_path / "game"
    copy_sample(sample, game)
    pages = {}
    for program, settings in PROGRAMS.items():
        pages[program] = split(launcher.run, program, game) / settings["page"]
    checker = tmp_path / "checker"
    checker.mkdir()

    reports = browser_reports(pages, checker)

    for program, settings in PROGRAMS.items():
        report = reports[program]
        cells = archive_cells((game / settings["archive"]).read_bytes())
        colours = palette_colours((game / settings["palette"]).read_bytes())
        count = len(cells)
        assert report["charset"] == "Shift_JIS"
        assert report["title"] == settings["title"] % count
        assert [image["src"] for image in report["images"]] == [
            "kao%03d.bmp" % n for n in range(count)]
        for n, image in enumerate(report["images"]):
            assert (image["complete"], image["width"], image["height"]) == (True, 96, 120), n
            # The points (x, y) sampled from the top left, against the cell's indices.
            expected = [list(colours[cells[n][y * FACE_WIDTH + x]]) + [255]
                        for x, y in [(0, 0), (95, 0), (0, 119), (95, 119), (47, 60)]]
            assert image["pixels"] == expected, n
        # A cell reads: the image's line, a line break, the number, for mugcut another
        # line break and the caption.
        if program == "mugcut24":
            assert report["cells"] == ["\n顔No.%d" % n for n in range(count)]
            continue
        captions = fixed_captions()
        written = re.findall(rb"<br>([^<]*)</td>", pages[program].read_bytes())
        assert len(report["cells"]) == len(written) == count
        for n, text in enumerate(report["cells"]):
            caption = captions.get(n, written[n].decode("cp932"))
            assert text == "\n顔No.%d\n%s" % (n, caption)
            assert 1 <= len(caption) <= 5 and "\ufffd" not in caption, n


def copy_sample(sample, game):
    """A copy of the sample's two archives and palettes."""
    for settings in PROGRAMS.values():
        for name in (settings["archive"], settings["palette"]):
            (game / name).parent.mkdir(parents=True, exist_ok=True)
            (game / name).write_bytes((sample / name).read_bytes())


def test_gallery_screenshot_shows_faces(launcher, sample, tmp_path):
    from PIL import Image

    copy_sample(sample, tmp_path)
    page = split(launcher.run, "mugcut", tmp_path) / "kao_bmp.html"
    png = tmp_path / "gallery.png"

    take_gallery_screenshot(page, png)

    palette = set(palette_colours((tmp_path / "SAN7/p_kao.s7").read_bytes()))
    with Image.open(png) as shot:
        assert shot.size == (1100, 900)
        shown = {colour for _, colour in shot.convert("RGB").getcolors(1100 * 900)}
    # Text and table lines bring a few grey tones at most; the faces bring their palette.
    assert len(shown & palette) >= 64


def save_readme_screenshot():
    """Makes the sample game folder, splits it with mugcut and saves the screenshot of its
    gallery as docs/gallery.png."""
    with tempfile.TemporaryDirectory() as folder:
        game = pathlib.Path(folder)
        make_sample(game)
        page = split(native_run, "mugcut", game) / "kao_bmp.html"
        (REPO / "docs").mkdir(exist_ok=True)
        take_gallery_screenshot(page, REPO / "docs" / "gallery.png")
    print(REPO / "docs" / "gallery.png")


if __name__ == "__main__":
    sys.exit(save_readme_screenshot())
