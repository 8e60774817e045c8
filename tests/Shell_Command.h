// Running a shell command from a test: its standard output, without the
// trailing newlines and spaces.
#pragma once

#include <cstdio>
#include <string>

inline std::string Shell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

// Types the keys ("ctrl+g", "ctrl+period ctrl+t") with xdotool, into the
// window given as xdotool's "--window <id> " or into the focused one when
// the target is empty, then releases them on the display. xdotool presses a
// key through the display's own keyboard when the window has the focus; when
// the focus moves before the release (the program quits, or is still taking
// the focus as it starts) the release goes elsewhere and the display keeps
// the key down. Its repeats then reach the next program on the display: a
// "g" left down by one test started the world in the next.
inline void TypeKeys(const std::string& target, const std::string& keys)
{
    Shell("xdotool key " + target + keys + " 2>/dev/null");
    std::string names = keys;
    for (char& c : names)
        if (c == '+')
            c = ' ';
    Shell("xdotool keyup " + names);
}
