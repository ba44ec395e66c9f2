# The programs' icons are drawn at build time by tools/make_icons.py (Python 3,
# standard library only), so no icon binary lives in the repository.
#
# qav_generate_icons(OUTDIR <dir>)
#   Adds the build step that writes the icon files into <dir> (relative paths
#   are taken from the current binary folder) and sets, in the caller's scope:
#     QAV_ICON_MAIN     main.ico     program icon: 48, 32, 16 px in 16 and 256 colours, 10134 bytes
#     QAV_ICON_ARCHIVE  archive.ico  icon of ".qav" files, same form, 10134 bytes
#     QAV_ICON_STUB     stub.ico     installer's window icon: 32, 16 px in 16 colours, 1078 bytes
#     QAV_ICON_CMD, QAV_ICON_DOC, QAV_ICON_PPS, QAV_ICON_VBS, QAV_ICON_XLS
#                       cmd.ico ...  shortcut icons: one 32 x 32 image in 16 colours, 766 bytes
#     QAV_ICON_MSG101 ... QAV_ICON_MSG106, QAV_ICON_MSG108 ... QAV_ICON_MSG111
#                       msg101.ico ...  message-box icons, ICON resources 101 to 111 of qav
#                       (107 is archive.ico): 32, 16 px in 16 and 256 colours, 4710 bytes;
#                       101 stop, 102 question, 103 warning, 104 information,
#                       105 lock, 106 download, 108 folder, 109 gear, 110 clock, 111 done
#                       qav's .rc lists its ICON groups as 1 (main), 101 to 111 with
#                       archive.ico as 107, and no named ICON group: the ".qav"
#                       association shows the program's icon index 7, the eighth group.
#     QAV_ICON_FILES    all of the above
#     QAV_ICONS_TARGET  a target that makes them; add it as a dependency of the
#                       program and put QAV_ICON_FILES into the .rc file's
#                       OBJECT_DEPENDS, so the resources follow a redrawn icon.
#   Calls with the same folder share one build step, from any directory.
#
# qav_add_icon_tests()
#   Registers the generator's own tests with ctest (once per project).

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(QAV_ICON_TOOL_DIR "${CMAKE_CURRENT_LIST_DIR}/../tools")

function(qav_generate_icons)
  cmake_parse_arguments(ICONS "" "OUTDIR" "" ${ARGN})
  if(NOT ICONS_OUTDIR)
    message(FATAL_ERROR "qav_generate_icons: OUTDIR is required")
  endif()
  get_filename_component(outdir "${ICONS_OUTDIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  get_filename_component(tool "${QAV_ICON_TOOL_DIR}/make_icons.py" ABSOLUTE)

  set(names MAIN main ARCHIVE archive STUB stub CMD cmd DOC doc PPS pps VBS vbs XLS xls
    MSG101 msg101 MSG102 msg102 MSG103 msg103 MSG104 msg104 MSG105 msg105 MSG106 msg106
    MSG108 msg108 MSG109 msg109 MSG110 msg110 MSG111 msg111)
  set(files)
  while(names)
    list(POP_FRONT names var file)
    set(QAV_ICON_${var} "${outdir}/${file}.ico" PARENT_SCOPE)
    list(APPEND files "${outdir}/${file}.ico")
  endwhile()
  set(QAV_ICON_FILES "${files}" PARENT_SCOPE)

  string(MAKE_C_IDENTIFIER "${outdir}" key)
  string(MD5 key "${key}")
  string(SUBSTRING "${key}" 0 8 key)
  set(target "qav_icons_${key}")
  set(QAV_ICONS_TARGET "${target}" PARENT_SCOPE)
  if(TARGET ${target})
    return()
  endif()
  # Python3_EXECUTABLE, not the imported target: in a cross build the target
  # form could be run through the Windows emulator.
  add_custom_command(
    OUTPUT ${files}
    COMMAND "${Python3_EXECUTABLE}" -B "${tool}" "${outdir}"
    DEPENDS "${tool}"
    COMMENT "Drawing the icons into ${outdir}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${files})
endfunction()

function(qav_add_icon_tests)
  get_property(done GLOBAL PROPERTY QAV_ICON_TESTS_ADDED)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY QAV_ICON_TESTS_ADDED TRUE)
  get_filename_component(test "${QAV_ICON_TOOL_DIR}/test_make_icons.py" ABSOLUTE)
  add_test(NAME make_icons COMMAND "${Python3_EXECUTABLE}" -B "${test}")
  set_tests_properties(make_icons PROPERTIES LABELS "tools" TIMEOUT 120)
endfunction()
