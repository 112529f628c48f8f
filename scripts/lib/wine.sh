# Headless Wine for the Windows tests: a private Xvfb and a template prefix, made once per run
# in <builddir>/wine/session.*/template (test prefixes are copied into .../run/).
# Sourced (bash). murmuro_wine_session_start <builddir> exports DISPLAY and MURMURO_WINE_TEMPLATE;
# murmuro_wine_session_stop ends exactly what the start made (by PID, and wineserver -k per prefix).

MURMURO_WINE64="${MURMURO_WINE64:-}"
if [ -z "$MURMURO_WINE64" ]; then
  if [ -x /usr/lib/wine/wine64 ]; then MURMURO_WINE64=/usr/lib/wine/wine64
  else MURMURO_WINE64="$(command -v wine64 || true)"; fi
fi

# Quiet, no Mono/Gecko prompts; MSHTML's type library and interfaces stay registered. No
# winemenubuilder: it would copy the prefix's shortcuts and file types into the home folder.
murmuro_wine_env() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
}

# /a/b/c -> Z:\a\b\c (Wine maps Z: to the Unix root).
murmuro_wine_path() {
  local p
  p="$(realpath -m "$1")"
  printf 'Z:%s\n' "${p//\//\\}"
}

# Starts Xvfb on the first free display from :90; sets DISPLAY and MURMURO_WINE_XVFB_PID.
murmuro_xvfb_start() {
  local n pid tries
  for n in $(seq 90 189); do
    if [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; then continue; fi
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
    pid=$!
    for tries in $(seq 1 100); do
      if [ -S "/tmp/.X11-unix/X${n}" ]; then
        export DISPLAY=":$n"
        MURMURO_WINE_XVFB_PID="$pid"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  echo "murmuro: no free X display for Xvfb" >&2
  return 1
}

# Creates a booted prefix at $1 with the default virtual desktop (1280x1024). wineserver and
# the programs wineboot starts are detached from our stdio so no pipe reader waits for them.
murmuro_wine_make_prefix() {
  local prefix="$1"
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  (
    murmuro_wine_env
    export WINEPREFIX="$prefix"
    "$MURMURO_WINE64" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "$MURMURO_WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
      </dev/null >/dev/null 2>&1 9>&-
    "$MURMURO_WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f \
      </dev/null >/dev/null 2>&1 9>&-
    wineserver -w
  ) || return 1
  [ -f "$prefix/system.reg" ] && [ -f "$prefix/user.reg" ] || {
    echo "murmuro: wineboot did not create a prefix in $prefix" >&2
    return 1
  }
  grep -q 'Desktops' "$prefix/user.reg" || {
    echo "murmuro: the virtual desktop setting did not reach $prefix" >&2
    return 1
  }
  date +%s >"$prefix/.murmuro-template"
}

# Each session works in a folder of its own under <builddir>/wine/, so sessions that share a
# build folder never touch each other's prefixes; the stop removes it.
murmuro_wine_session_start() {
  local builddir="${1:?usage: murmuro_wine_session_start <builddir>}"
  if [ -n "${MURMURO_WINE_XVFB_PID:-}" ]; then
    echo "murmuro: a Wine session is already running (Xvfb $MURMURO_WINE_XVFB_PID)" >&2
    return 1
  fi
  [ -x "$MURMURO_WINE64" ] || { echo "murmuro: wine64 not found" >&2; return 1; }
  mkdir -p "$builddir/wine"
  MURMURO_WINE_DIR="$(mktemp -d "$(cd "$builddir/wine" && pwd)/session.XXXXXX")" || return 1
  if ! murmuro_xvfb_start; then
    rm -rf "$MURMURO_WINE_DIR"
    unset MURMURO_WINE_DIR
    return 1
  fi
  echo "murmuro: Xvfb $DISPLAY (pid $MURMURO_WINE_XVFB_PID); building the Wine template prefix"
  if ! murmuro_wine_make_prefix "$MURMURO_WINE_DIR/template"; then
    murmuro_wine_session_stop
    return 1
  fi
  export MURMURO_WINE_TEMPLATE="$MURMURO_WINE_DIR/template"
  murmuro_wine_env
}

# Ends the template's wineserver, any test prefix a killed wine-run left behind, and our Xvfb,
# and removes the session's folder.
murmuro_wine_session_stop() {
  local prefix
  if [ -n "${MURMURO_WINE_DIR:-}" ]; then
    for prefix in "$MURMURO_WINE_DIR"/template "$MURMURO_WINE_DIR"/run/*; do
      [ -d "$prefix" ] || continue
      WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    done
    rm -rf "$MURMURO_WINE_DIR"
  fi
  if [ -n "${MURMURO_WINE_XVFB_PID:-}" ]; then
    kill "$MURMURO_WINE_XVFB_PID" 2>/dev/null || true
    wait "$MURMURO_WINE_XVFB_PID" 2>/dev/null || true
  fi
  unset MURMURO_WINE_XVFB_PID MURMURO_WINE_DIR MURMURO_WINE_TEMPLATE DISPLAY
}
