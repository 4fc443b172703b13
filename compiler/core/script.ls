// The module's script classes in the world-generation VM.
import core.engine

// Binds the module's classes into the VM, with the program's class tags. The program has
// no script engine yet, so there is nothing to bind: the call returns at once.
void bind_gameobj(SQVM *vm) {}
