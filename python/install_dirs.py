# SPDX-License-Identifier: MIT
"""Prints, as a CMake list, where this interpreter finds packages under an
install prefix: the system prefix and its directory, the local prefix and
its directory (empty when the interpreter has no such scheme), and the
directory under any other prefix, each directory relative to its prefix."""
import os
import sysconfig


def relative_platlib(scheme, prefix):
    where = sysconfig.get_path("platlib", scheme, vars={"base": prefix, "platbase": prefix})
    return os.path.relpath(where, prefix)


schemes = sysconfig.get_scheme_names()
system = ("/usr", relative_platlib("deb_system", "/usr")) if "deb_system" in schemes else ("", "")
local = ("", "")
if sysconfig.get_default_scheme() == "posix_local":
    local = ("/usr/local", os.path.relpath(sysconfig.get_path("platlib"), "/usr/local"))
print(";".join(system + local + (relative_platlib("posix_prefix", "/prefix"),)))
