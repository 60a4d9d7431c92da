# Writes OUTPUT, a C++ source holding each language's table file as a raw
# string literal. LANGUAGES lists "code:offset" items; the files are
# SOURCE_DIR/<code>.txt.
set(body "")
foreach(language IN LISTS LANGUAGES)
  string(REPLACE ":" ";" parts ${language})
  list(GET parts 0 code)
  list(GET parts 1 offset)
  file(READ ${SOURCE_DIR}/${code}.txt text)
  string(FIND "${text}" ")vex_table\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${code}.txt holds the literal's end marker")
  endif()
  string(APPEND body "      {\"${code}\", ${offset}, R\"vex_table(${text})vex_table\"},\n")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated from resources/strings/*.txt by embed_tables.cmake; do not edit.
#include \"string_tables.h\"

namespace vex::resources {

const std::vector<LanguageTable>& CompiledTables() {
  static const std::vector<LanguageTable> tables{
${body}  };
  return tables;
}

}  // namespace vex::resources
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
