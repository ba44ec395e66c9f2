# Environment of the wine test prefix. Source it: `. scripts/wine-env.sh`.
#
# Everything wine touches lives under the build folder, never in ~/.wine or the
# user's home:
#   QAV_WINEPREFIX   the prefix (default <repo>/build/win/wineprefix)
#   <prefix>-home    HOME, XDG_CONFIG_HOME, XDG_DATA_HOME of wine
#   <prefix>-locale  the zh_TW.UTF-8 locale when the system does not have it
# Call wine only through qav_wine / qav_wineserver / qav_wineboot: they refuse
# to run when WINEPREFIX no longer names the test prefix.

_qav_env_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QAV_REPO=$(dirname "$_qav_env_dir")
QAV_WINEPREFIX=${QAV_WINEPREFIX:-$QAV_REPO/build/win/wineprefix}
case $QAV_WINEPREFIX in
  /*) ;;
  *) QAV_WINEPREFIX=$PWD/$QAV_WINEPREFIX ;;
esac
QAV_WINEPREFIX=${QAV_WINEPREFIX%/}
export QAV_REPO QAV_WINEPREFIX
export QAV_REAL_HOME=${QAV_REAL_HOME:-${HOME:-}}
export QAV_WINE_HOME=$QAV_WINEPREFIX-home

export WINEPREFIX=$QAV_WINEPREFIX
export WINEARCH=win64
export WINEDEBUG=-all
# No mono/gecko install prompts, no Linux menu entries or .desktop files made as
# a side effect of creating shortcuts.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export HOME=$QAV_WINE_HOME
export XDG_CONFIG_HOME=$QAV_WINE_HOME/.config
export XDG_DATA_HOME=$QAV_WINE_HOME/.local/share
export XDG_CACHE_HOME=$QAV_WINE_HOME/.cache
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"

# zh_TW.UTF-8 makes wine's ANSI code page 950. The Linux locale must exist as
# well, or Chinese arguments and file names are garbled between Linux and wine.
_qav_have_locale() {
  [ "$(LC_ALL=zh_TW.UTF-8 locale charmap 2>/dev/null)" = UTF-8 ]
}
unset LANGUAGE
if ! _qav_have_locale; then
  export LOCPATH=$QAV_WINEPREFIX-locale
  if ! _qav_have_locale; then
    mkdir -p "$LOCPATH"
    (
      flock 9
      if ! _qav_have_locale; then
        rm -rf "$LOCPATH/zh_TW.UTF-8.tmp"
        # localedef exits 1 on harmless warnings; the check below decides.
        localedef -i zh_TW -f UTF-8 -c "$LOCPATH/zh_TW.UTF-8.tmp" >/dev/null 2>&1 || true
        rm -rf "$LOCPATH/zh_TW.UTF-8"
        mv "$LOCPATH/zh_TW.UTF-8.tmp" "$LOCPATH/zh_TW.UTF-8" 2>/dev/null || true
      fi
    ) 9>"$LOCPATH/.lock"
    _qav_have_locale || echo "wine-env: could not create the zh_TW.UTF-8 locale in $LOCPATH" >&2
  fi
fi
export LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8

# Refuse to touch any prefix but the test prefix: one wine call with a stray
# WINEPREFIX (or none) silently creates or changes ~/.wine.
qav_wine_guard() {
  if [ "${WINEPREFIX:-}" != "$QAV_WINEPREFIX" ] || [ -z "$QAV_WINEPREFIX" ] ||
     [ "$QAV_WINEPREFIX" = "$QAV_REAL_HOME/.wine" ] || [ "$HOME" != "$QAV_WINE_HOME" ]; then
    echo "wine-env: refusing to run wine: WINEPREFIX='${WINEPREFIX:-}' is not the test prefix '$QAV_WINEPREFIX'" >&2
    return 97
  fi
}
qav_wine()       { qav_wine_guard || return; command wine "$@"; }
qav_wineserver() { qav_wine_guard || return; command wineserver "$@"; }
qav_wineboot()   { qav_wine_guard || return; command wine wineboot "$@"; }
