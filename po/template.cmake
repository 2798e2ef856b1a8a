# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# cmake -DXGETTEXT=... -DSOURCE_DIR=... -DVERSION=... -DOUTPUT=... -P template.cmake
# Writes the template of every message the program's sources mark, listed
# at the time it runs, so a new source file needs no list of its own.
file(GLOB sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/calendar/*.cpp ${SOURCE_DIR}/calendar/*.h
     ${SOURCE_DIR}/core/*.cpp ${SOURCE_DIR}/core/*.h
     ${SOURCE_DIR}/dayview/*.cpp ${SOURCE_DIR}/dayview/*.h
     ${SOURCE_DIR}/dock/*.cpp ${SOURCE_DIR}/dock/*.h
     ${SOURCE_DIR}/engine/*.cpp ${SOURCE_DIR}/engine/*.h
     ${SOURCE_DIR}/events/*.cpp ${SOURCE_DIR}/events/*.h
     ${SOURCE_DIR}/face/*.cpp ${SOURCE_DIR}/face/*.h
     ${SOURCE_DIR}/reminder/*.cpp ${SOURCE_DIR}/reminder/*.h
     ${SOURCE_DIR}/settings/*.cpp ${SOURCE_DIR}/settings/*.h)
list(SORT sources)
execute_process(
  COMMAND ${XGETTEXT} --language=C++ --from-code=UTF-8 --add-comments=TRANSLATORS:
          --add-location=file --keyword=_ --keyword=N_ --keyword=C_:1c,2 --keyword=NC_:1c,2
          --package-name=dayspinner --package-version=${VERSION}
          "--copyright-holder=the Dayspinner authors"
          --msgid-bugs-address=dayspinner@example.org -o ${OUTPUT} ${sources}
  WORKING_DIRECTORY ${SOURCE_DIR}
  COMMAND_ERROR_IS_FATAL ANY)
