# lit's configuration for e2e/ and paced/; tests/CMakeLists.txt passes the params (zuvaroza, the
# program, so that a sanitized build runs its own; filecheck; device, the test device's ALSA
# configuration; build, where cases write).
import os, sys, lit.formats

config.name = "zuvaroza"
config.test_format = lit.formats.ShTest(execute_external=True)
config.suffixes = [".test"]
config.test_source_root = os.path.dirname(__file__)
config.test_exec_root = lit_config.params["build"]
config.environment["LC_ALL"] = "C"  # the seam's picture in ASCII, unless a case says otherwise
# the test device, test:'OPTIONS' (tests/device/test.c says which)
config.environment["ALSA_CONFIG_PATH"] = "/usr/share/alsa/alsa.conf:" + lit_config.params["device"]
here, program = config.test_source_root, lit_config.params["zuvaroza"]
# %run: the program, run by the driver with no steps; %steps:NAME, the driver with the case's NAME>
# steps (%served:NAME, on the case's sound server); %fresh: an empty %t, the working directory;
# %cap: a device that records every byte into out.raw, and %dev one that also plays in real time
drive = f"{sys.executable} {here}/drive.py"
config.substitutions += [("%run", f"{drive} {program}"), ("%z", program), ("%fresh", "rm -rf %t && mkdir %t && cd %t"),
                         ("%steps", f"{drive} --steps %s"), ("%served", f"{drive} --server %server --steps %s"),
                         ("%drive", drive), ("%wave", f"{sys.executable} {here}/wave.py"),
                         ("%cap", "\"file:'out.raw',raw\""),
                         ("%dev", "\"test:'pace,rec=out.raw'\""), ("FileCheck", lit_config.params["filecheck"]),
                         # the sound server a paced case plays through (pulse or pipewire), also its ALSA device
                         ("%server", lit_config.params.get("server", "pulse"))]
