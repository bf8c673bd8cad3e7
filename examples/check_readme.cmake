# Fails when README.md no longer shows readme_example.cpp as it is.
# Run with cmake -P -DREADME=... -DEXAMPLE=...
file(READ ${README} readme)
file(READ ${EXAMPLE} example)
string(FIND "${readme}" "```cpp\n${example}```" at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.md does not show ${EXAMPLE} verbatim; copy the file into it")
endif()
