# Every message that zarn and zarninfo mark for translation has a translation
# in every catalogue, and none is left fuzzy: a new message without one would
# come out in English in the middle of Danish.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -P CatalogueComplete.cmake
set(OUTPUT ${WORK}/zarn.pot)
include(${SOURCE}/po/Extract.cmake)
file(STRINGS ${SOURCE}/po/LINGUAS languages REGEX "^[^#]")
foreach(language IN LISTS languages)
  execute_process(COMMAND msgcmp ${SOURCE}/po/${language}.po ${WORK}/zarn.pot RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${language}.po lacks messages of the sources")
  endif()
  execute_process(COMMAND msgattrib --only-fuzzy --no-obsolete ${SOURCE}/po/${language}.po
    OUTPUT_VARIABLE fuzzy RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT fuzzy STREQUAL "")
    message(FATAL_ERROR "${language}.po has fuzzy translations:\n${fuzzy}")
  endif()
  execute_process(COMMAND msgattrib --untranslated --no-obsolete ${SOURCE}/po/${language}.po
    OUTPUT_VARIABLE untranslated RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT untranslated STREQUAL "")
    message(FATAL_ERROR "${language}.po has untranslated messages:\n${untranslated}")
  endif()
endforeach()
