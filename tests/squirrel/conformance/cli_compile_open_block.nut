// an open block runs to the end of the file
function g() {
