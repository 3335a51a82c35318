# The run command's demo, run by tests/e2e/run_e2e.sh like a scenario (fresh Wine
# prefix, virtual display, virtual desktop with taskbar and tray): a stand-in player
# shows a moving picture, Frimbola records it in GIF mode with automatic capture
# (every 200 ms, started from its tray menu), the tray menu's stop item builds the
# animated GIF, and screenshots show the desktop while recording and the progress
# dialog during the build. The GIF and the screenshots go to $FRIMBOLA_DEMO_OUT.
source "$E2E_LIB"

say "settings: GIF mode, automatic capture every 200 ms"
qv=$(appdata_folder)/Qv
mkdir -p "$qv"
printf '[option]\r\nflags=2\r\nintervaltimer=200\r\n' >"$qv/frimbola.ini"

say "a stand-in player with a moving picture"
timeout 120 wine "$FRIMBOLA_DEMO_PLAYER" 640 360 >/dev/null 2>&1 &
player=$!
drv wait-window GomPlayer1.x "" 20000 >/dev/null

say "Frimbola starts and records"
start_program
wait_main >/dev/null
drv menu-choose 6 >/dev/null
sleep 8
screenshot desktop

say "the stop item ends the recording and builds the GIF"
drv menu-choose 7 >/dev/null
if drv wait-window '#32770' 'Frimbola [アニメGIFの作成]' 20000 >/dev/null; then
  screenshot progress
else
  say "the build ended before the progress dialog could be seen"
fi
gif=$(pictures_folder)/Frimbola/A0001001.gif
drv wait-gone '#32770' 120000 >/dev/null || fail "the build did not end"
stop_program
drv post GomPlayer1.x WM_CLOSE 0 0 >/dev/null || true
wait "$player" 2>/dev/null || true

[ -s "$gif" ] || fail "no GIF was written"
cp "$gif" "$FRIMBOLA_DEMO_OUT/"
cp "$E2E_OUT/desktop.png" "$FRIMBOLA_DEMO_OUT/desktop.png"
[ -f "$E2E_OUT/progress.png" ] && cp "$E2E_OUT/progress.png" "$FRIMBOLA_DEMO_OUT/progress.png"
say "$(basename "$gif"): $(stat -c %s "$gif") bytes"
