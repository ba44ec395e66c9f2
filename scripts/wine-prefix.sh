#!/usr/bin/env bash
# Creates and configures the wine test prefix once (about 10 s); returns at once
# when the prefix is ready. Safe to call from several processes at a time.
#   scripts/wine-prefix.sh            ensure the prefix
#   scripts/wine-prefix.sh --force    configure it again (registry, fonts, folders)
# The prefix is QAV_WINEPREFIX (default <repo>/build/win/wineprefix).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# Raise when the configuration below changes: existing prefixes pick it up.
config_version=2
stamp=$QAV_WINEPREFIX/.qav-prefix-ready
force=0
[ "${1:-}" = --force ] && force=1
ready() { [ "$force" = 0 ] && [ "$(cat "$stamp" 2>/dev/null)" = "$config_version" ]; }
ready && exit 0

mkdir -p "$(dirname "$QAV_WINEPREFIX")"
exec 9>"$QAV_WINEPREFIX.lock"
flock 9
ready && exit 0

log=$QAV_WINEPREFIX-setup.log
: >"$log"
start=$SECONDS
if [ ! -f "$QAV_WINEPREFIX/system.reg" ]; then
  echo "wine-prefix: creating $QAV_WINEPREFIX (about 10 s)" >&2
  # No window may appear while the prefix is made: run without a display.
  if ! (unset DISPLAY; qav_wineboot -i) >>"$log" 2>&1 </dev/null; then
    echo "wine-prefix: wineboot -i failed; see $log" >&2
    exit 1
  fi
fi

users_dir=$QAV_WINEPREFIX/drive_c/users

# A fresh prefix links the shell folders to $HOME, so Desktop, Templates and the
# others would all be one folder: make them real folders.
for user in "$users_dir"/*/; do
  for folder in Desktop Documents Downloads Music Pictures Videos Templates; do
    if [ -L "$user$folder" ]; then
      rm -f "$user$folder"
    fi
    mkdir -p "$user$folder"
  done
done

# Debian's wine does not find its own fonts (title-bar buttons draw as "0 1 r").
# All but Tahoma: a real Tahoma wins over its substitute below and has no
# Chinese glyphs.
fonts_dir=$QAV_WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts_dir"
rm -f "$fonts_dir"/tahoma*.ttf
shopt -s nullglob
wine_fonts=()
for f in /usr/share/wine/fonts/*.ttf; do
  case ${f##*/} in tahoma*) ;; *) wine_fonts+=("$f") ;; esac
done
shopt -u nullglob
if ((${#wine_fonts[@]})); then
  cp -u "${wine_fonts[@]}" "$fonts_dir/"
else
  echo "wine-prefix: /usr/share/wine/fonts has no fonts (package fonts-wine): window buttons draw as letters" >&2
fi

# LOGFONTW of the window-metrics fonts: -12 px, normal weight, default charset.
logfont_hex() {
  local face
  face=$(printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ' ')
  local -a bytes=(f4 ff ff ff 00 00 00 00 00 00 00 00 00 00 00 00 90 01 00 00
                  00 00 00 01 00 00 00 00 $face)
  while ((${#bytes[@]} < 92)); do bytes+=(00); done
  local IFS=,
  printf '%s' "${bytes[*]}"
}

ui_font="WenQuanYi Zen Hei Sharp"
reg=$QAV_WINEPREFIX-setup.reg
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  # A virtual desktop: without a window manager every close or hide costs ~2 s.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1024x768"\r\n\r\n'
  # A crashing program must end, not wait on a crash dialog nobody sees.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
  # The default dialog fonts are not installed: Chinese would draw as boxes.
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  for f in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "PMingLiU" "MingLiU" "新細明體" "細明體" \
           "Microsoft JhengHei" "Microsoft JhengHei UI" "微軟正黑體" "Segoe UI" "SimSun"; do
    printf '"%s"="%s"\r\n' "$f" "$ui_font"
  done
  printf '\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\r\n'
  for v in CaptionFont SmCaptionFont MenuFont StatusFont MessageFont IconFont; do
    printf '"%s"=hex:%s\r\n' "$v" "$(logfont_hex "$ui_font")"
  done
  # Opening a .txt file through the shell fails in a fresh prefix without it.
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\.txt]\r\n@="txtfile"\r\n\r\n'
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"

if ! (unset DISPLAY; qav_wine regedit /S "$(printf 'Z:%s' "$reg" | tr / '\\')") >>"$log" 2>&1 </dev/null; then
  echo "wine-prefix: importing $reg failed; see $log" >&2
  exit 1
fi

echo "$config_version" >"$stamp"
echo "wine-prefix: ready in $((SECONDS - start)) s: $QAV_WINEPREFIX" >&2
