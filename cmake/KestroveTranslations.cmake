# `translations` refreshes translations/kestrove_en.ts from the tr() texts of the front ends.
# Debian's Qt 6 lupdate lives outside PATH (package qt6-l10n-tools); the hints keep Qt 5's from being picked.
find_program(KESTROVE_LUPDATE NAMES lupdate HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" /usr/lib/qt6/bin)

set(KESTROVE_TRANSLATION_SOURCES src/ui src/app)
set(KESTROVE_TS_FILE translations/kestrove_en.ts)

if(KESTROVE_LUPDATE)
    # Without source locations the file changes only when a text does, not whenever code moves.
    add_custom_target(translations
        COMMAND "${KESTROVE_LUPDATE}" -silent -no-obsolete -locations none -source-language en -target-language en -I src
                ${KESTROVE_TRANSLATION_SOURCES} -ts ${KESTROVE_TS_FILE}
        WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
        COMMENT "Updating ${KESTROVE_TS_FILE}"
        VERBATIM)
else()
    add_custom_target(translations
        COMMAND "${CMAKE_COMMAND}" -E echo "lupdate (Qt 6) was not found: install qt6-l10n-tools (make setup)."
        COMMAND "${CMAKE_COMMAND}" -E false
        VERBATIM)
endif()
