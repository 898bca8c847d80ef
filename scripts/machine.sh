# What this machine runs, for the build and test scripts (sourced, not run).
#
# Some x86-64 kernels run 32-bit x86 programs, some do not ("Exec format error"). Where they do not, the 32-bit
# build's tests run under QEMU's user-mode emulator and the 32-bit Windows tests (whose wine loader needs the kernel's
# 32-bit support) are skipped. TESSALOOM_NO_I386=1 makes the scripts act as on such a machine, to try that path
# anywhere.

# Succeeds when the kernel itself runs 32-bit x86 Linux programs; otherwise sets i386_reason to why not. Needs the
# 32-bit compiler (g++-multilib, from scripts/packages), which it uses to build a tiny program and run it once.
runs_i386() {
  if [ -n "${i386_checked:-}" ]; then
    [ "$i386_checked" = yes ]
    return
  fi
  i386_checked=no
  if [ "${TESSALOOM_NO_I386:-0}" = 1 ]; then
    i386_reason="TESSALOOM_NO_I386=1 is set"
    return 1
  fi
  if [ "$(uname -m)" != x86_64 ] && [ "$(uname -m)" != i686 ]; then
    i386_reason="this machine is $(uname -m)"
    return 1
  fi
  # A binfmt handler would run the probe through an emulator: that is not the kernel's own support.
  local handler
  for handler in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i486; do
    if [ -f "$handler" ] && head -n 1 "$handler" | grep -qx enabled; then
      i386_reason="32-bit programs run here only through the emulator registered in $handler"
      return 1
    fi
  done
  local probe status
  probe=$(mktemp -d)
  if ! printf 'int main(void) { return 0; }\n' | gcc -m32 -x c - -o "$probe/probe" 2> "$probe/log"; then
    i386_reason="no 32-bit compiler to probe with: $(head -n 1 "$probe/log")"
    rm -rf "$probe"
    return 1
  fi
  "$probe/probe" > "$probe/log" 2>&1
  status=$?
  if [ $status -ne 0 ]; then
    i386_reason="the kernel does not run 32-bit x86 programs (a tiny one exits $status: $(head -n 1 "$probe/log"))"
    rm -rf "$probe"
    return 1
  fi
  rm -rf "$probe"
  i386_checked=yes
}
