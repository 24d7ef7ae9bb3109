#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time over a small seed
# corpus made here. Exits non-zero when a target crashes or fails to build.
#   FUZZ_SECONDS  time per target (default 60)
#   FUZZ_BUILD    build folder (default build/fuzz below the source tree)
set -euo pipefail

src="$(cd "$(dirname "$0")/../.." && pwd)"
build="${FUZZ_BUILD:-$src/build/fuzz}"
seconds="${FUZZ_SECONDS:-60}"

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
ninja -C "$build" -j2 zip_names_fuzz zip_unpack_fuzz picture_decode_fuzz pe_image_fuzz pe_seeds \
  announcement_fuzz

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz-run-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/unpack" "$work/names" "$work/pictures" "$work/pe" "$work/announcement"
# The program's own pictures at 1x (PNG with alpha, baseline JPEG) seed the decoders.
for f in "$src"/assets/pictures/*.png "$src"/assets/pictures/*.jpg; do
  case "$f" in *@2x.*) ;; *) cp "$f" "$work/pictures/" ;; esac
done
"$build/tests/fuzz/pe_seeds" "$work/pe"

python3 - "$work" <<'PY'
import io, struct, sys, zipfile
work = sys.argv[1]

def archive(name, entries, method=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", method) as z:
        for info, data in entries:
            z.writestr(info, data)
    open(f"{work}/unpack/{name}.zip", "wb").write(buf.getvalue())

def gbk(name):
    info = zipfile.ZipInfo(name.encode("gbk").decode("cp437"))
    info.flag_bits &= ~0x800
    return info

archive("nested", [("profile/", b""), ("profile/gui/flash/battle_stats.swf", b"s" * 5000),
                   ("profile/icons.xml", b"<icons/>")])
archive("stored", [("profile/particles/trails/a.xml", b"abc" * 100)], zipfile.ZIP_STORED)
archive("utf8", [("profile/图标.swf", b"utf8")])
archive("gbk", [(gbk("profile/舰名.mo"), b"gbk")])
archive("hostile", [("profile/ok.xml", b"ok"), ("../escape.txt", b"x"), ("CON", b"y")])
open(f"{work}/unpack/empty.zip", "wb").write(b"PK\x05\x06" + b"\0" * 18)

names = [(0, b"", "profile/gui/battle_stats.xml".encode()), (0x800, b"", "profile/图标.swf".encode()),
         (0, b"", "profile\\舰名.mo".encode("gbk")), (0, b"", b"../../x"), (0, b"", b"C:\\con.txt")]
raw = b"a.swf"
import zlib
field = struct.pack("<HHB", 0x7075, 5 + len("彩字.swf".encode()), 1) + struct.pack("<I", zlib.crc32(raw)) + "彩字.swf".encode()
names.append((0, field, raw))
for i, (flags, extra, name) in enumerate(names):
    open(f"{work}/names/{i}", "wb").write(struct.pack("<HH", flags, len(extra)) + extra + name)

pages = [
    "<p>限制：1.0；1.1.0-1.1.2；-0.9</p><p>最新版本：1.1.3</p><p>官方版本：1.1.3</p>",
    "<p>更新说明：【</p><p>1. 新增&lt;插件&gt;&#20013;</p><br/><p>【结束】</p><p>文件名：..\\Velmora 1.1.3.exe</p>",
    "<p>下载地址：<a href='x'>http://www.velmora.example:80/d/新版.exe?a=1#f</a>【下载地址结束】</p>",
    "最新版本：1.1.10官方版本：1.1.9限制：1.1.2文件名：explorer.exe",
    "<p>文件名：CON.exe</p><p>最新版本：1.1.3</p>",
]
for i, page in enumerate(pages):
    open(f"{work}/announcement/utf8-{i}", "wb").write(page.encode("utf-8"))
    open(f"{work}/announcement/gb-{i}", "wb").write(page.encode("gb18030"))
# Pages at the fetch's limit (4 MiB) of "&" and "<", which once took minutes.
limit = 4 << 20
head = "<p>最新版本：1.1.3</p><p>下载地址：".encode("utf-8")
open(f"{work}/announcement/amp-limit", "wb").write((head + b"&" * limit)[:limit])
open(f"{work}/announcement/lt-limit", "wb").write((head + b"<&" * limit)[:limit])
PY

status=0
run() {
  local target="$1" corpus="$2" maxlen="$3"
  echo "== $target for ${seconds}s"
  mkdir -p "$work/$target-artifacts"
  if ! (cd "$work" && "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len="$maxlen" \
        -timeout=10 -artifact_prefix="$work/$target-artifacts/" -print_final_stats=1 "$corpus" \
        2>"$work/$target.log"); then
    echo "$target FAILED:"
    tail -60 "$work/$target.log"
    mkdir -p "$build/fuzz-artifacts" && cp -r "$work/$target-artifacts/." "$build/fuzz-artifacts/" || true
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$work/$target.log" | tail -2
  fi
}
run zip_names_fuzz "$work/names" 4096
run zip_unpack_fuzz "$work/unpack" 65536
run picture_decode_fuzz "$work/pictures" 32768
run pe_image_fuzz "$work/pe" 65536
run announcement_fuzz "$work/announcement" $((4 << 20))  # the page fetch's limit
exit $status
