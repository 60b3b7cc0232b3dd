#!/usr/bin/python3
"""Runs a command, and every process it starts, as on a kernel without pidfds: make test-arm64
runs ctest through it. Usage: without-pidfds.py COMMAND [ARGUMENT...]

Qt's QProcess asks clone() for a pidfd wherever waitid() takes one. qemu-user passes waitid()
straight to the kernel but cannot give clone() a pidfd, and fails it: under the emulator no
process would start. Refused here, waitid() tells Qt that the kernel has none, and QProcess
starts its processes as it does on the kernels before them. The filter holds for every process
started from here on, the emulated tests and the programs they start included."""
import errno
import os
import sys

import seccomp  # Debian package python3-seccomp

P_PIDFD = 3

no_pidfds = seccomp.SyscallFilter(defaction=seccomp.ALLOW)
no_pidfds.add_rule(seccomp.ERRNO(errno.EINVAL), "waitid", seccomp.Arg(0, seccomp.EQ, P_PIDFD))
no_pidfds.load()
os.execvp(sys.argv[1], sys.argv[1:])
