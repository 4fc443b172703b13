// The module's script classes in the world-generation VM.
import core.engine

// The functions the world script's rules call (game/island.ls).
void bind_island_script(SQVM *vm);

// Binds what the module offers the world script into its VM; called again after every
// reload of the module, so the bindings always point into the loaded one.
void bind_gameobj(SQVM *vm) { bind_island_script(vm); }
