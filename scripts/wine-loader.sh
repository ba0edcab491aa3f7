# Sourced by the scripts that run Windows programs under Wine. Wine's 32-bit loader is a 32-bit
# Linux program, and some kernels (virtual machines without IA-32 emulation) cannot run one. There
# the 64-bit loader runs the 64-bit programs alone, and VENTREL_WINE32=0 tells the callers to leave
# out, and say so, what only 32-bit Windows code can do: the 32-bit program, the installers.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export VENTREL_WINE32=1
else
  export VENTREL_WINE32=0 WINELOADER=/usr/lib/wine/wine64
  ventrel_wine_shim="${TMPDIR:-/tmp}/ventrel-wine64-$(id -u)"
  mkdir -p "$ventrel_wine_shim"
  for ventrel_name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$ventrel_wine_shim/$ventrel_name"
    chmod +x "$ventrel_wine_shim/$ventrel_name"
  done
  export PATH="$ventrel_wine_shim:$PATH"
fi
ventrel_without_wine32() {  # ventrel_without_wine32 WHAT: says what is not run here, and why
  if [ -e /usr/lib/wine/wine ]; then
    echo "== NOT RUN on this machine: $1. Its kernel cannot run 32-bit programs, which Wine's"
    echo "   32-bit loader is (no IA-32 emulation); a machine that can runs them."
  else
    echo "== NOT RUN on this machine: $1. Wine's 32-bit loader (wine32:i386) could not be"
    echo "   installed (see install-deps above); a machine that has it runs them."
  fi
}
