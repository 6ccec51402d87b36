# Writes OUTPUT, a C++ table of the main window's controls by the tab (and inner tab) that
# shows them, read from the Qt form of each tab (console/ui/qt/page_*.ui): one row per named
# widget, sorted by name. Run as a script:
#   cmake -DOUTPUT=file.cc -DFORMS="a.ui;b.ui" -P control_tabs.cmake
cmake_minimum_required(VERSION 3.20)
set(rows "")
foreach(form IN LISTS FORMS)
  get_filename_component(base ${form} NAME_WE)
  string(REGEX REPLACE "^page_" "" base ${base})
  # "web_output" -> "Web Output"
  string(REPLACE "_" ";" words ${base})
  set(tab "")
  foreach(word IN LISTS words)
    string(SUBSTRING ${word} 0 1 first)
    string(SUBSTRING ${word} 1 -1 rest)
    string(TOUPPER ${first} first)
    if(tab)
      string(APPEND tab " ")
    endif()
    string(APPEND tab "${first}${rest}")
  endforeach()
  # One list item per line: the characters that would split or join CMake's list items go.
  file(READ ${form} content)
  # A title's "&" marks its access key (written "&amp;" in the form).
  string(REPLACE "&amp;" "" content "${content}")
  foreach(special ";" "[" "]" "\\")
    string(REPLACE "${special}" "_" content "${content}")
  endforeach()
  string(REPLACE "\n" ";" lines "${content}")
  set(group "")
  set(pending_page FALSE)
  foreach(line IN LISTS lines)
    if(pending_page AND line MATCHES "<attribute name=\"title\"><string>([^<]*)</string>")
      set(group "${CMAKE_MATCH_1}")
      set(pending_page FALSE)
    elseif(line MATCHES "<widget class=\"([A-Za-z]+)\" name=\"([A-Za-z0-9_]+)\"")
      set(class ${CMAKE_MATCH_1})
      set(name ${CMAKE_MATCH_2})
      if(class STREQUAL "QWidget" AND name MATCHES "^page")
        set(pending_page TRUE)
      elseif(NOT name MATCHES "^(page|layout)")
        list(APPEND rows "${name}!${tab}!${group}")
      endif()
    endif()
  endforeach()
endforeach()
list(SORT rows)
set(body "")
foreach(row IN LISTS rows)
  string(REPLACE "!" ";" parts "${row}")
  list(GET parts 0 name)
  list(GET parts 1 tab)
  list(LENGTH parts count)
  set(group "")
  if(count GREATER 2)
    list(GET parts 2 group)
  endif()
  string(APPEND body "    {\"${name}\", \"${tab}\", \"${group}\"},\n")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from the tabs' Qt forms by cmake/control_tabs.cmake: do not edit.
#include \"console/ui/control_tabs.h\"

#include <algorithm>
#include <iterator>

namespace helmsman::ui {

namespace {

const ControlPlace kPlaces[] = {
${body}};

}  // namespace

const ControlPlace* FindControlPlace(std::string_view name) {
  const auto found = std::lower_bound(
      std::begin(kPlaces), std::end(kPlaces), name,
      [](const ControlPlace& place, std::string_view key) { return place.name < key; });
  if (found == std::end(kPlaces) || found->name != name) return nullptr;
  return &*found;
}

}  // namespace helmsman::ui
")
# Only a changed table is written, so that an unchanged one rebuilds nothing.
configure_file(${OUTPUT}.new ${OUTPUT} COPYONLY)
