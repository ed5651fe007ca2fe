// The data-file scrambling: a fixed 1933-byte key (1932 printable characters and the zero
// that ends the literal) added to, or subtracted from, each byte of a buffer in 8-bit arithmetic,
// key byte (i mod 1933) for byte i. Pack members and the score table are stored this way. It
// hides the bytes from casual viewing; it is not encryption.
#include "core/Scramble.h"

namespace {

// Changing a single byte makes every scrambled file already written unreadable.
constexpr char Key[] =
    "i-7dv5{2i|L|sNw&rvF pN/I0pAWCuUczM}Q:WJb/Cpr4w>A(n=u-WZ1` ]FVm$f0qFg{~l.C9aey<P>Gk{&BYtL2&8! 8Be"
    "`MGJWK:QAl;-DjwDvWJ7NZeSk,/2;Qzqs)rrKx_8@Ox=;a-Nefp626d*<H)uwI4}B7oupL}#e*6CB5R~'[fy/EbF'rkP pM "
    "_!JQ<*!n 9R7Y1k;%+j4W#~YL3@X>$wUe|guL8F&bS^&&{Q cU,u3xXgS-apnnq4Cn3(&6@A&Qs7%e6>_y,:wV9#! O4Iat<"
    "N9UF!h89oOCm]`V+9Ng+XqBacjI^|tD-eL'Z4}ROCSHkr%Hw0.^sokXLOD  48p+Bm1>KD4aRrFz-O3]tTu%|REUHR.DA*6O"
    "=*b0kzh6#gcbvTIWNd]qPpCu4{#&YIx4Vn)*,w 3HdXtb1L+(:0Pms9!R #<,Px`+s_apw%A8Zvr)Ev k$z&KH2~7HVTy5A`"
    "P=Fp^|}T5s*&E]J&Y(Em0#DLX+4@!OW=1R,KWGaeIZ(GkPaS@FN9Q%;i6^<]7%NZ<sf;sVn$Bo6vW+dTcc:ayC[bQM`S3p_-"
    "7MoMq,4LI<&*-!CG*HAv[L-|x'Qr-ukHM`dsZ}N(IP*A}#=0GEq=q&ogjO4yB18RN>=bvqbloom0$K=`_u)9c[oVj#%nvXPh"
    "7h:Gehq!GZ{.M1Tf=>T:I`5U1)vZj3e&+KP1HA=ySJZ%w~ z%e.)ORX1lAM7;'JyA3f9B}e%6iV=j$(/oR|wUFZ!<Ljd))cG"
    ")(6Z11vShU/trS1H*#,EC>uyH$l=s]k|$)|rnp-EhG$8st0fl58v0 e4Y;I2,Dw0)wC~D($6b=@ZRzFdvu`gO&_RD9Qg`Ydw"
    "1#.5o(9jQ09|P6s#5)vZD+lA^5y5F/pq+t-l_0-yb2SqQS1b]2F3AYj$Ya.O6Yg+@`g4lw703${&<[%ud[o.7(mIa_BA501i"
    "i(KQ4'Nmvki(ZKVIki^A9T/gbI%%Rw:.]e'M]BU-8ye`8f`]TdH}g[S}ec.EVq$[$07r|bKeQ2bf,7tw5Jd9(y6q3<s+-Z6)"
    "nsfZvP0n_Z(Uvj>qe*qNtA m88E{<I]c+:KG({K*5hFev+^.NFST/K1pm4Y@&_ACpT-=g#yKmcp>q*s]Um:9HuGZsu(-q8{>"
    "8>'5`ZOjF |~-@5@U;[{-LYb!6,R:#[Rlh,o@j.&F]cfNrhT07LGl#mbb#Cc%DrB)]o%bxaH8=*!ID[aQ9k(H%y2u3bsfOtS"
    "{Sen=up]7f#79gL4YGa%Q :>4:rX7mP7}7SXm9J5md2'=>nGN;z<pD(+B;Y`EB(FhUemFaRh=%6~ }ahJ'Z7p!BJa<E8{-11"
    ">`i$N(}Nm*Xw#}WQM/V2sBuH80RTpigSMMHN-h-3m);6z,GsJJH9d^~@g%^3$7M45vXf$&G|k_CBc(WR.#W=2)A!C)GO61CI"
    "8- l>w_At'r:py<!%nQ#|j&sdLtA'D$_B>w_hiyN.$VCFYe`)o<fdoc*@3.Hrg~R| j5(;i#Ch{D[#4oPC;<HPpINZ~a4pP!"
    "JCaS5@O4gxQ%0y$p7VO<u*sJ9~%7.tX4'9P$J>7vW.S5iTQ4Zg.-L877-1#':d(wlw*CtBm.SlEu~&8fK!U]<pEE2Ae2u_E~"
    "mC@C,=A:TcO( (n FjtHi#beF8n>9{7sJ5ro~lf6d`4OK <{N%+B_pK6wzW&jDQHZqdH@-kvu7{KU}|;/tUk VoDo|0[mD^k"
    "3&tp!ricW4WSI99gO`r!tP [ANi~*~}4b1NB13/JZI7NBWnMU@h|J:8OYu/Es>-t- rKp|n0C96;aS;[Q[lvc9eKK|/uefjA"
    "uH>(U{m%T(r0aVJ|ZR)bv1[wxgqnc#WHC]Ei0mZ)SA;Kg%LrFPHAp_X6T&#KWT-FBw2m5'}/QQF)!]I_EilSgf#a06ZWQ>Q#"
    "{]=]K7E9fIvr";
static_assert(sizeof(Key) == ScrambleKeyLength);

// Walks the buffer in runs of the key so the inner loop has no division.
template <typename Op>
void Apply(uint8_t* data, size_t size, Op op) {
    size_t i = 0;
    while (i < size) {
        const size_t run = size - i < ScrambleKeyLength ? size - i : ScrambleKeyLength;
        for (size_t k = 0; k < run; ++k) {
            data[i + k] = op(data[i + k], static_cast<uint8_t>(Key[k]));
        }
        i += run;
    }
}

}  // namespace

void ScrambleBuffer(std::vector<uint8_t>& buffer) {
    Apply(buffer.data(), buffer.size(), [](uint8_t b, uint8_t k) { return static_cast<uint8_t>(b + k); });
}

void UnscrambleBuffer(std::vector<uint8_t>& buffer) {
    Apply(buffer.data(), buffer.size(), [](uint8_t b, uint8_t k) { return static_cast<uint8_t>(b - k); });
}

uint8_t ScrambleKeyByte(size_t index) { return static_cast<uint8_t>(Key[index % ScrambleKeyLength]); }
