# Fails when libmcubes.a defines a symbol of ours outside mcubes::: a user's
# program that links it would then meet our names at global scope, where
# its own (or another library's) openVolume or Point3 helpers collide.
# Run as: cmake -DNM=<nm> -DLIBRARY=<libmcubes.a> [-DUNDERSCORE=ON] -P global_symbols.cmake
# (UNDERSCORE: the platform prefixes every symbol with one, i686 Windows).
cmake_minimum_required(VERSION 3.25)
#
# The names are read mangled, where the owner of each is plain: the first
# component of a nested name (_ZN6mcubes...), the function around a local
# entity (_ZZ...), the type of a vtable or typeinfo (_ZTV/_ZTI/_ZTS...).
# Unmangled names are globals of namespace scope (variables, extern "C").
# Not ours: the standard library's and GCC's namespaces, GDCM's inline
# members that its headers emit, the implementation's own names, and the
# typeinfo of composite types.
execute_process(COMMAND ${NM} -P --defined-only ${LIBRARY} OUTPUT_VARIABLE mangled
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${LIBRARY}")
endif()
execute_process(COMMAND ${NM} -P -C --defined-only ${LIBRARY} OUTPUT_VARIABLE demangled)
string(REPLACE ";" "\\;" mangled "${mangled}")
string(REPLACE ";" "\\;" demangled "${demangled}")
string(REGEX REPLACE "\n" ";" mangled "${mangled}")
string(REGEX REPLACE "\n" ";" demangled "${demangled}")

set(foreign "St|S[absiod]|9__gnu_cxx|10__cxxabiv1|4gdcm")
# Names reserved to the implementation (__x, _X), mangled or not, and the
# placement forms of new and delete, which <new> defines inline.
set(reserved "^(__|_[A-Z])")
set(placement "^_Z(nw|na)[jmy]Pv$|^_Zd[la]PvS_$")
# mingw-w64's <stdio.h> defines the printf family inline as C++ functions.
set(platform "^[0-9]+(__|_[A-Z]|v?[sf]?n?printf[A-Z_])")
set(offenders "")
set(count 0)
set(index -1)
foreach(line IN LISTS mangled)
  math(EXPR index "${index} + 1")
  # "name type [value size]"; archive member headers end in a colon.
  if(NOT line MATCHES "^([^ ]+) ([TDBRWVuCGS]) ")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  # ELF's references to a personality or typeinfo (DW.ref.X) and Windows'
  # (.refptr.X) are X's; i686 Windows puts an underscore before every name.
  string(REGEX REPLACE "^(DW\\.ref\\.|\\.refptr\\.)" "" name "${name}")
  if(UNDERSCORE AND name MATCHES "^_")
    string(SUBSTRING "${name}" 1 -1 name)
  endif()
  if(name MATCHES "^_Z")
    if(name MATCHES "${placement}")
      continue()
    endif()
    # Special names (vtable, typeinfo, guard, thunk, local entity) name the
    # entity they belong to next.
    string(REGEX REPLACE "^_Z(T[VISTHW]|GV|GR|Th[n0-9_]*|Tv[n0-9_]*|Z)*" "" rest "${name}")
    string(REGEX REPLACE "^N[rVKRO]*" "" rest "${rest}")
    # Typeinfo of a function, pointer or array type is the same whoever
    # emits it: no one's name.
    if(rest MATCHES "^6mcubes" OR rest MATCHES "^(${foreign})" OR rest MATCHES "^[FPRKOAMD]"
       OR rest MATCHES "${platform}")
      continue()
    endif()
  elseif(name MATCHES "${reserved}" OR name MATCHES "^\\.")
    continue()
  endif()
  list(GET demangled ${index} readable)
  string(REGEX REPLACE " [TDBRWVuCGS] .*$" "" readable "${readable}")
  list(APPEND offenders "${readable}")
  math(EXPR count "${count} + 1")
endforeach()

if(count GREATER 0)
  list(REMOVE_DUPLICATES offenders)
  list(LENGTH offenders distinct)
  list(JOIN offenders "\n  " shown)
  message(FATAL_ERROR "${LIBRARY} defines ${distinct} name(s) of ours outside mcubes:: "
                      "(${count} definitions):\n  ${shown}")
endif()
message(STATUS "${LIBRARY}: every name of ours is under mcubes::")
