# Every message that zarn and zarninfo mark for translation has a translation
# in every catalogue, and none is left fuzzy: a new message without one would
# come out in English in the middle of Danish.
#   cmake -DSOURCE=<tree> -DWORK=<folder> -P CatalogueComplete.cmake
file(GLOB sources RELATIVE ${SOURCE} ${SOURCE}/cli/*.cpp ${SOURCE}/cli/*.h ${SOURCE}/info/*.cpp ${SOURCE}/info/*.h)
list(SORT sources)
execute_process(COMMAND xgettext --from-code=UTF-8 --language=C++ --keyword=tr --keyword=trn:1,2 --keyword=N_
    --add-comments=TRANSLATORS: --output=${WORK}/zarn.pot ${sources}
  WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "xgettext failed")
endif()
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
