// The batch tool's subcommands; each returns the process exit status.
#pragma once

int runDxfCommand(int argc, char** argv);
int runPreviewCommand(int argc, char** argv);
int runFoldCommand(int argc, char** argv);
int runTableCommand(int argc, char** argv);
