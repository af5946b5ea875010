# The Debian changelog of the packages, made from CHANGELOG.md's entry for
# the project's version: its date, and a line that points to the entry.
# Without an entry the changelog names none, and the changelog test fails.
file(STRINGS "${PROJECT_SOURCE_DIR}/CHANGELOG.md" portslot_changelog_dates
     REGEX "^## \\[${PROJECT_VERSION}\\] - [0-9]+-[0-9]+-[0-9]+$")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
set(portslot_release_date "1970-01-01")
if(portslot_changelog_dates)
  list(GET portslot_changelog_dates 0 entry)
  string(REGEX REPLACE ".* - " "" portslot_release_date "${entry}")
endif()
string(REPLACE "-" ";" ymd "${portslot_release_date}")
list(GET ymd 0 year)
list(GET ymd 1 month)
list(GET ymd 2 day)
math(EXPR month "${month}") # without a leading zero
math(EXPR day "${day}")
# The day of the week (Sakamoto's method: 0 is Sunday).
set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR index "${month} - 1")
list(GET offsets ${index} offset)
set(y ${year})
if(month LESS 3)
  math(EXPR y "${y} - 1")
endif()
math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
set(weekdays Sun Mon Tue Wed Thu Fri Sat)
list(GET weekdays ${weekday} weekday_name)
math(EXPR month_index "${month} - 1")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET months ${month_index} month_name)
if(day LESS 10)
  set(day "0${day}")
endif()
set(portslot_debian_changelog "${PROJECT_BINARY_DIR}/debian-changelog")
file(WRITE "${portslot_debian_changelog}"
"portslot (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}, as CHANGELOG.md records it.

 -- ${PORTSLOT_MAINTAINER}  ${weekday_name}, ${day} ${month_name} ${year} 12:00:00 +0000
")
