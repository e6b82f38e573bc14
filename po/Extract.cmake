# The messages that zarn and zarninfo mark for translation (tr, trn, N_), as
# a template for the catalogues:
#   cmake -DSOURCE=<tree> -DOUTPUT=<file.pot> -P Extract.cmake
# The catalogue test runs it too, so both know the same messages.
file(GLOB zarn_message_sources RELATIVE ${SOURCE}
  ${SOURCE}/cli/*.cpp ${SOURCE}/cli/*.h ${SOURCE}/info/*.cpp ${SOURCE}/info/*.h)
list(SORT zarn_message_sources)
execute_process(COMMAND xgettext --from-code=UTF-8 --language=C++ --keyword=tr --keyword=trn:1,2 --keyword=N_
    --add-comments=TRANSLATORS: --package-name=zarn --output=${OUTPUT} ${zarn_message_sources}
  WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE zarn_extract_status)
if(NOT zarn_extract_status EQUAL 0)
  message(FATAL_ERROR "xgettext failed")
endif()
