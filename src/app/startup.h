#pragma once
// The program's start-up sequence and message loop; returns the exit code.
int RunProgram();
