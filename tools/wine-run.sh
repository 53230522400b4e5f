#!/usr/bin/env bash
# Runs a Windows program of ours under wine64 with the test environment:
# the run's private prefix, no Mono/Gecko prompts, no desktop menu entries,
# quiet debug channels, and the run's Xvfb display.
export WINEPREFIX="${TARV_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine-tarv}}"
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
export WINEDEBUG="${WINEDEBUG:--all}"
export DISPLAY="${TARV_DISPLAY:-${DISPLAY:-:99}}"
exec wine "$@"
