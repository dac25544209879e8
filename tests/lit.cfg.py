# lit's configuration: the end-to-end cases in e2e/ (null and file devices) and paced/ (a private
# sound server). CTest runs each case on its own (tests/CMakeLists.txt), giving the program to
# test as --param zuvaroza=PATH, so that a sanitized build runs its own binary.
import os
import sys
import lit.formats

config.name = "zuvaroza"
config.test_format = lit.formats.ShTest(execute_external=True)
config.suffixes = [".test"]
config.test_source_root = os.path.dirname(__file__)
config.test_exec_root = lit_config.params["build"]
config.environment["PATH"] = lit_config.params["llvm_bin"] + os.pathsep + config.environment["PATH"]
config.environment["LC_ALL"] = "C"  # the seam's picture in ASCII, unless a case says otherwise
here = config.test_source_root
# %run: the program, run by the driver with no steps; %cap: a device that records every byte into out.raw
config.substitutions += [("%run", f"{sys.executable} {here}/drive.py {lit_config.params['zuvaroza']}"),
                         ("%drive", f"{sys.executable} {here}/drive.py"), ("%wave", f"{sys.executable} {here}/wave.py"),
                         ("%z", lit_config.params["zuvaroza"]), ("%cap", "\"file:'out.raw',raw\"")]
# the sound server a paced case plays through (--param server=pulse or pipewire); its ALSA device has its name
server = lit_config.params.get("server", "pulse")
config.available_features.add(server)
config.substitutions.append(("%server", server))
