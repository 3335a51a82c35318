# The run command's demo, run by tests/e2e/run_e2e.sh like a scenario (fresh Wine
# prefix, virtual display, virtual desktop with taskbar and tray): a stand-in player
# shows a moving picture, Frimbola records it with automatic capture (every 250 ms,
# started from its tray menu), a screenshot shows the desktop with the tray icon, and
# the frames and the screenshot are copied to $FRIMBOLA_DEMO_OUT.
source "$E2E_LIB"

say "settings: automatic capture every 250 ms"
qv=$(appdata_folder)/Qv
mkdir -p "$qv"
printf '[option]\r\nintervaltimer=250\r\n' >"$qv/frimbola.ini"

say "a stand-in player with a moving picture"
timeout 120 wine "$FRIMBOLA_DEMO_PLAYER" 640 360 >/dev/null 2>&1 &
player=$!
drv wait-window GomPlayer1.x "" 20000 >/dev/null

say "Frimbola starts and records"
start_program
wait_main >/dev/null
drv menu-choose 6 >/dev/null
sleep 4
screenshot desktop
sleep 1
drv menu-choose 7 >/dev/null
stop_program
drv post GomPlayer1.x WM_CLOSE 0 0 >/dev/null || true
wait "$player" 2>/dev/null || true

frames=$(pictures_folder)/Frimbola
count=$(find "$frames" -name '*.jpg' | wc -l)
[ "$count" -gt 0 ] || fail "no frames were written"
mkdir -p "$FRIMBOLA_DEMO_OUT/frames"
cp "$frames"/*.jpg "$FRIMBOLA_DEMO_OUT/frames/"
cp "$E2E_OUT/desktop.png" "$FRIMBOLA_DEMO_OUT/desktop.png"
say "$count frames"
