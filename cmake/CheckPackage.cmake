# Builds the Debian package from the finished build and checks what it holds and needs.
# cmake -DBIN=<build folder> -DCPACK=<cpack> -DDPKG_DEB=<dpkg-deb> -P CheckPackage.cmake
set(out ${BIN}/package-check)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND ${CPACK} --config ${BIN}/CPackConfig.cmake -B ${out}
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed (${rc}):\n${log}")
endif()
file(GLOB debs ${out}/quillet_*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one quillet_*.deb in ${out}, found: ${debs}")
endif()

execute_process(COMMAND ${DPKG_DEB} -c ${debs} OUTPUT_VARIABLE contents RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -c failed")
endif()
set(id org.example.quillet.Quillet)
foreach(path
    ./usr/bin/quillet
    ./usr/bin/quillet-tool
    ./usr/share/quillet/Sample.htm
    ./usr/share/quillet/Sample.css
    ./usr/share/applications/${id}.desktop
    ./usr/share/metainfo/${id}.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/${id}.svg
    ./usr/share/icons/hicolor/16x16/apps/${id}.png
    ./usr/share/icons/hicolor/48x48/apps/${id}.png
    ./usr/share/icons/hicolor/256x256/apps/${id}.png)
  string(FIND "${contents}" " ${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks ${path}:\n${contents}")
  endif()
endforeach()
# Nothing of the build or the tests travels along.
foreach(stray test_ /usr/local CMakeFiles)
  string(FIND "${contents}" "${stray}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the package holds ${stray}:\n${contents}")
  endif()
endforeach()

execute_process(COMMAND ${DPKG_DEB} -f ${debs} Package Version Architecture Depends
                OUTPUT_VARIABLE fields RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -f failed")
endif()
# The libraries found by dpkg-shlibdeps and the run-time parts named by hand.
foreach(dep libc6 libstdc\\+\\+6 libqt6core6 libqt6widgets6 libqt6webenginewidgets6
            libqt6printsupport6 libqt6webenginecore6-bin qt6-qpa-plugins fonts-liberation
            qt6-translations-l10n)
  if(NOT fields MATCHES "Depends:[^\n]*(^|[ ,])${dep}[ ,(\n]")
    message(FATAL_ERROR "the package does not depend on ${dep}:\n${fields}")
  endif()
endforeach()
if(NOT fields MATCHES "Package: quillet\n")
  message(FATAL_ERROR "unexpected package fields:\n${fields}")
endif()
message(STATUS "${debs}\n${fields}")
