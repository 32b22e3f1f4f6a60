# zrq_rule_tables(<output header>): the rule tables of tests/rules/*.json as
# C++ string literals (cv::testing::kRuleTables), for the test programs that
# share them: the shell's unit tests and zrq-channel's.
function(zrq_rule_tables output)
  file(GLOB tables "${PROJECT_SOURCE_DIR}/tests/rules/*.json")
  set(content "// Generated from tests/rules/*.json.\n#pragma once\n\n#include <map>\n#include <string>\n\n")
  string(APPEND content "namespace cv::testing {\n\ninline const std::map<std::string, std::string> kRuleTables = {\n")
  foreach(table IN LISTS tables)
    get_filename_component(name "${table}" NAME_WE)
    file(READ "${table}" text)
    string(APPEND content "    {\"${name}\", R\"zrq(${text})zrq\"},\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
  endforeach()
  string(APPEND content "};\n\n}  // namespace cv::testing\n")
  file(CONFIGURE OUTPUT "${output}" CONTENT "${content}")
endfunction()
