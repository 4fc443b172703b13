#pragma once
// -export-world-at N DIR: after update N the world as it is then (land, water, marks,
// and in world.json the number of objects in every class list) goes to DIR, in whatever
// mode the program is.

// Writes the current world to dir; false (logged) when a file fails.
bool export_current_world(const char *dir);
// Runs the export due after this update, if any.
void run_world_export_at(int update);
