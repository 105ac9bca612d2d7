#pragma once

// Sets what the sound libraries read from the environment. setenv is not safe
// while another thread reads the environment, so main calls this before any
// thread starts (the synth and the port list open on threads of their own).
void prepareSoundEnvironment();
