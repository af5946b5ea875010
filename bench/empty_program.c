/* The floor of a run: a program that does nothing, built and linked like
   portslot, so that the two differ only in what portslot does. */
int main(void)
{
    return 0;
}
