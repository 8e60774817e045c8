// The application object every other host service needs: made once, before
// any window, menu or timer, and ended after the event loop has returned.
#pragma once

// Starts the application services for the command line given (the toolkit
// takes the options it knows, such as -platform, out of argc and argv) under
// the application's name. Once per process.
void HostStartApplication(int* argc, char** argv, const char* name);

// Ends them; nothing of the host may be used afterwards.
void HostEndApplication();
