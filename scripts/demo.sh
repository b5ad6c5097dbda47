#!/usr/bin/env bash
# The demo: builds Kadrix, registers Glimvex and Tabliq (x86 and x64) in a
# Wine prefix of its own, associates the sample clips' extensions with them,
# and asks for their thumbnails through the registry the way Explorer does —
# the 64-bit way with the newer protocol, the 32-bit way with the older one.
# Then it opens a clip's Properties dialog, plays it and picks a frame on the
# Kadrix tab, and asks for that clip's tile again. Writes a contact sheet of
# the tiles, screenshots of the tab, and prints where the pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/bootstrap.sh >/dev/null
for preset in x86 x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Glimvex Tabliq kadrix-thumb kadrix-props Zelkon >/dev/null
done

demo=$root/build/demo
state=$demo/wine
clips=$demo/clips
tiles=$demo/tiles
shots=$demo/properties
mkdir -p "$clips"
rm -rf "$tiles" "$shots"
mkdir -p "$shots"

wine_run() { scripts/wine-run.sh "$state" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }

scripts/wine-session.sh start "$state" >/dev/null
trap 'scripts/wine-session.sh stop "$state"' EXIT
# The x86 programs run only where the machine runs 32-bit code.
bitnesses=(x86 x64)
if [ "$(KADRIX_WINE_STATE=$state; . scripts/wine-env.sh; echo "$KADRIX_WINE_32BIT")" = 0 ]; then
    echo "== this machine runs 64-bit code only: the x86 build is not run"
    bitnesses=(x64)
fi

# Sample clips: moving pictures with some life in them, one per container.
clip() {
    local name=$1 source=$2
    shift 2
    [ -e "$clips/$name" ] && return 0
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$source" -t 6 "$@" "$clips/$name"
}
clip testcard.mp4 "testsrc2=s=640x360:r=25" -c:v libx264 -pix_fmt yuv420p
clip mandelbrot.mkv "mandelbrot=s=480x360:r=25" -c:v libx264 -pix_fmt yuv420p
clip life.avi "life=s=320x240:r=25:seed=7:mold=10:life_color=#00ff80:death_color=#204060" -c:v mjpeg -q:v 3 -pix_fmt yuvj420p
clip bars.wmv "smptehdbars=s=640x360:r=25" -c:v wmv2 -b:v 2M
clip gradient.mpg "gradients=s=480x360:r=25:speed=0.05:seed=7" -c:v mpeg2video -q:v 3 -f vob
clip portrait.mov "testsrc=s=240x320:r=25" -c:v libx264 -pix_fmt yuv420p
# Every sample clip's stamp and thumbnails start afresh.
find "$clips" -name '*:vantrel*' -delete

echo "== registering Glimvex and Tabliq (${bitnesses[*]})"
for preset in "${bitnesses[@]}"; do
    wine_run regsvr32 /s "$(winpath "$root/build/$preset/thumbnail_handler/Glimvex.dll")"
    wine_run regsvr32 /s "$(winpath "$root/build/$preset/property_sheet/Tabliq.dll")"
done

# The setup program associates the extensions, as an installer would run it.
# It registers only extensions the classes root already knows (a media
# player would have made their keys), in both registry views.
for ext in mp4 mkv avi wmv mpg mov; do
    for view in 32 64; do
        wine_run reg add "HKCR\\.$ext" /f "/reg:$view" >/dev/null
    done
done
echo "== associating the video extensions (Zelkon -register, ${bitnesses[*]})"
for preset in "${bitnesses[@]}"; do
    wine_run "$root/build/$preset/setup/Zelkon.exe" -register
done

settings() {
    local name value
    for pair in "$@"; do
        name=${pair%=*}
        value=${pair#*=}
        wine_run reg add 'HKCU\Software\Vantrel\KadrixVuvu' /v "$name" /t REG_DWORD /d "$value" /f >/dev/null
    done
}

videos=()
for f in "$clips"/*; do videos+=("$(winpath "$f")"); done

echo "== x64, newer protocol, 256 x 256: letterbox, frame at 40 percent"
settings Letterbox=1 BlackBkg=0 WindowBkg=0 Glossy=0 TimeShift=1 Percent=40 Random=1 Override=0
wine_run "$root/build/x64/tools/kadrix-thumb.exe" --protocol provider --size 256 \
    "${videos[@]}" --out "$(winpath "$tiles/x64")" 2>/dev/null

# Where no x86 program runs, the x64 host asks the older way in its place.
older=x86
[ "${bitnesses[0]}" = x86 ] || older=x64
echo "== $older, older protocol, 160 x 120: black background with gloss, frame at 3 seconds"
settings Letterbox=0 BlackBkg=1 Glossy=1 TimeShift=0 Time=3 Random=2
wine_run "$root/build/$older/tools/kadrix-thumb.exe" --protocol extract --size 160x120 \
    "${videos[@]}" --out "$(winpath "$tiles/older")" 2>/dev/null

echo "== x64 Properties of testcard.mp4: the Kadrix tab opened, playing, a frame picked"
props() {
    local shot=$1
    shift
    wine_run "$root/build/x64/tools/kadrix-props.exe" --screenshot "$(winpath "$shots/$shot")" \
        "$@" >/dev/null 2>&1
}
testcard=$(winpath "$clips/testcard.mp4")
props opened.png --close-after 2500 "$testcard"
props focused.png --focus 212 --close-after 2500 "$testcard"
props playing.png --click 212 --close-after 3200 "$testcard"
# Seek on the slider to 70 percent of the clip, store that frame.
props picked.png --click 215:70%,50% --click 216 --close-after 4000 "$testcard"
printf 'This is no video.\r\n' >"$clips/notavideo.avi"
props error.png --close-after 2500 "$(winpath "$clips/notavideo.avi")"
rm -f "$clips/notavideo.avi"

# At 150 % display scaling, as most laptops come: the tab and the setup window.
echo "== at 150 % display scaling: the Kadrix tab and the setup window"
wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
props opened-150.png --close-after 2500 "$testcard"
wine_run "$root/build/x64/setup/Zelkon.exe" &
zelkon=$!
window=
for _ in $(seq 1 100); do
    window=$(DISPLAY=$(cat "$state/display") xwininfo -root -tree 2>/dev/null |
        awk '/"Kadrix Vuvu setup"/ { print $1; exit }')
    [ -n "$window" ] && break
    sleep 0.1
done
sleep 1.5 # its first paint
[ -n "$window" ] && DISPLAY=$(cat "$state/display") import -window "$window" "$demo/setup-150.png"
kill "$zelkon" 2>/dev/null || true
wait "$zelkon" 2>/dev/null || true
wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null

echo "== x64 tile of testcard.mp4 again: the frame picked on the tab"
settings Letterbox=1 BlackBkg=0 WindowBkg=0 Glossy=0 TimeShift=1 Percent=40 Override=0
wine_run "$root/build/x64/tools/kadrix-thumb.exe" --size 256 "$testcard" \
    --out "$(winpath "$tiles/picked")" 2>/dev/null

sheet=$demo/contact-sheet.png
font=(-font DejaVu-Sans -pointsize 12)
montage "${font[@]}" -label '%t' "$tiles"/x64/*.png -tile x1 -geometry +8+8 -background '#d8d8d8' "$demo/row-x64.png"
montage "${font[@]}" -label '%t' "$tiles"/older/*.png -tile x1 -geometry +8+8 -background '#d8d8d8' "$demo/row-older.png"
montage "${font[@]}" -label '%t' "$tiles"/picked/*.png -tile x1 -geometry +8+8 -background '#d8d8d8' "$demo/row-picked.png"
convert -background '#d8d8d8' "${font[@]}" \
    label:'x64 Explorer, thumbnail provider 256x256 - Letterbox, at 40 percent of the clip' "$demo/row-x64.png" \
    label:"$older program, image extractor 160x120 - black background, gloss, at 3 seconds" "$demo/row-older.png" \
    label:'x64 Explorer again, after a frame at 70 percent was picked on the Kadrix tab' "$demo/row-picked.png" \
    -gravity west -append "$sheet"
rm -f "$demo"/row-*.png

echo
echo "Tiles:         $tiles/x64, $tiles/older, $tiles/picked"
echo "Contact sheet: $sheet"
echo "Kadrix tab:    $shots/opened.png, focused.png, playing.png, picked.png, error.png, opened-150.png"
echo "Setup window:  $demo/setup-150.png (at 150 % display scaling)"
